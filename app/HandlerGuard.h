#pragma once

#include <functional>

namespace vemba {

class ErrorPresenter;

// The boundary between Qt's slots and the handlers: a handler that fails ends
// at the failing step, and its failure is told to the user instead of
// leaving the slot.
class HandlerGuard {
public:
    explicit HandlerGuard(ErrorPresenter& errors) : m_errors(errors) {}

    void run(const std::function<void()>& handler);

private:
    ErrorPresenter& m_errors;
};

} // namespace vemba
