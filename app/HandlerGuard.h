#pragma once

#include <functional>

namespace vemba {

class ErrorPresenter;
class Form1;

// The boundary between Qt's slots and the handlers: a handler that fails ends
// at the failing step, and its failure is told to the user instead of
// leaving the slot.
class HandlerGuard {
public:
    HandlerGuard(Form1& form, ErrorPresenter& errors) : m_form(form), m_errors(errors) {}

    void run(const std::function<void()>& handler);

private:
    Form1& m_form;
    ErrorPresenter& m_errors;
};

} // namespace vemba
