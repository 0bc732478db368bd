#include "Form1.h"

#include "Colors.h"
#include "ControlBehavior.h"
#include "FormLayout.h"
#include "FormStyle.h"
#include "MainWindowController.h"
#include "Twips.h"
#include "WavePreview.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace vemba {

namespace {

QString text(const char* utf8) {
    return utf8 != nullptr ? QString::fromUtf8(utf8) : QString();
}

QString controlName(const char* name, int index) {
    return index >= 0 ? QStringLiteral("%1_%2").arg(text(name)).arg(index) : text(name);
}

// "Option1".."Option4" give 1..4, "Check1".."Check3" give 1..3.
int trailingNumber(const char* name) {
    const std::string s(name);
    return s.back() - '0';
}

void setCaptionColor(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colorFromBgr(bgr));
    widget->setPalette(palette);
}

void setBackColor(QWidget* widget, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colorFromBgr(bgr));
    widget->setPalette(palette);
}

} // namespace

Form1::Form1(Services services, const ControllerFactory& makeController)
    : m_programDir(std::move(services.programDir)) {
    m_errors.setWindow(this);
    m_settings = std::make_unique<SettingsStore>(
        m_programDir, [this](const QString& message) { m_errors.report(message); });
    m_engine = std::make_unique<SoundEngine>(*services.audio, *this, m_programDir);
    m_controller =
        makeController ? makeController(*this) : std::make_unique<MainWindowController>(*this);

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ヴェンバPC"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/vemba.xpm")));
    // Fixed single border: minimize and close, no maximize, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    buildMenu();
    buildControls();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Fixed before the window is first mapped, so that the window manager
    // never offers to resize or maximize it.
    layout()->activate();
    connectEvents();
    installControlBehavior(*this);
    optMediaMode(1)->setFocus();
}

Form1::~Form1() = default;

void Form1::buildMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("MHelp"));
    m_help1 = help->addAction(QStringLiteral("目次とキーワード(&C)"));
    m_help1->setObjectName(QStringLiteral("MHelp1"));
    help->addSeparator()->setObjectName(QStringLiteral("MBar1"));
    m_version = help->addAction(QStringLiteral("バージョン情報(&A)"));
    m_version->setObjectName(QStringLiteral("MVersion"));
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Form1Client"));
    client->setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setCentralWidget(client);

    for (QButtonGroup*& group : m_optionGroups) {
        group = new QButtonGroup(this);
    }
    m_mediaMode = new QButtonGroup(this);

    std::map<std::string, QWidget*> containers;
    std::vector<std::pair<int, QWidget*>> byTab;
    for (const ControlRow& row : formControls()) {
        QWidget* parent = row.container != nullptr ? containers.at(row.container) : client;
        QWidget* widget = nullptr;
        switch (row.kind) {
        case ControlKind::Frame: {
            auto* frame = new QGroupBox(text(row.caption), parent);
            if (row.color) {
                frame->setProperty("captionColor", colorFromBgr(*row.color));
            }
            widget = frame;
            break;
        }
        case ControlKind::UntitledFrame:
            widget = new UntitledFrame(parent);
            break;
        case ControlKind::CheckBox: {
            auto* box = new QCheckBox(text(row.caption), parent);
            box->setChecked(row.value == 1);
            // Opaque, so that it covers the frame's top edge like a caption.
            box->setAutoFillBackground(true);
            if (row.color) {
                setCaptionColor(box, *row.color);
            }
            m_checks[static_cast<std::size_t>(trailingNumber(row.name) - 1)] = box;
            widget = box;
            break;
        }
        case ControlKind::OptionButton: {
            auto* button = new QRadioButton(text(row.caption), parent);
            button->setChecked(row.value == 1);
            m_optionGroups[static_cast<std::size_t>(trailingNumber(row.name) - 1)]->addButton(
                button, row.index);
            widget = button;
            break;
        }
        case ControlKind::PushOption: {
            auto* button = new QPushButton(text(row.caption), parent);
            button->setCheckable(true);
            button->setChecked(row.value == 1);
            m_mediaMode->addButton(button, row.index);
            widget = button;
            break;
        }
        case ControlKind::PictureBox: {
            auto* picture = new PictureBox(parent);
            m_pictures[static_cast<std::size_t>(row.index)] = picture;
            widget = picture;
            break;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(text(row.caption), parent);
            if (row.color) {
                // The lamp: a small square with a thin border.
                label->setAutoFillBackground(true);
                label->setFrameShape(QFrame::Box);
                label->setLineWidth(1);
                setBackColor(label, *row.color);
                m_label1 = label;
            }
            widget = label;
            break;
        }
        case ControlKind::Slider: {
            auto* slider = new QSlider(Qt::Horizontal, parent);
            slider->setRange(0, 10);
            slider->setSingleStep(1);
            slider->setPageStep(2);
            slider->setTickPosition(QSlider::TicksBelow);
            slider->setTickInterval(1);
            slider->setValue(row.value);
            m_slider1 = slider;
            widget = slider;
            break;
        }
        }

        widget->setObjectName(controlName(row.name, row.index));
        if (row.index >= 0) {
            widget->setProperty("Index", row.index);
        }
        widget->setProperty("TabIndex", row.tab);
        widget->setGeometry(twipsRect(row.left, row.top, row.width, row.height));
        if (row.kind == ControlKind::Frame || row.kind == ControlKind::UntitledFrame) {
            containers[row.name] = widget;
        }
        byTab.emplace_back(row.tab, widget);
    }

    std::sort(byTab.begin(), byTab.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [tab, widget] : byTab) {
        if (widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }

    for (const ToolTipRow& tip : formToolTips()) {
        if (auto* widget = client->findChild<QWidget*>(controlName(tip.name, tip.index))) {
            widget->setToolTip(text(tip.text));
        }
    }
}

void Form1::connectEvents() {
    MainWindowController* c = m_controller.get();
    const std::array<void (MainWindowController::*)(), 3> checkHandlers{
        &MainWindowController::Check1_Click, &MainWindowController::Check2_Click,
        &MainWindowController::Check3_Click};
    for (std::size_t i = 0; i < m_checks.size(); ++i) {
        connect(m_checks[i], &QCheckBox::toggled, this,
                [this, c, handler = checkHandlers[i]] { runHandler([&] { (c->*handler)(); }); });
    }

    const std::array<void (MainWindowController::*)(std::int16_t), 4> optionHandlers{
        &MainWindowController::Option1_Click, &MainWindowController::Option2_Click,
        &MainWindowController::Option3_Click, &MainWindowController::Option4_Click};
    for (std::size_t i = 0; i < m_optionGroups.size(); ++i) {
        connect(m_optionGroups[i], &QButtonGroup::idToggled, this,
                [this, c, handler = optionHandlers[i]](int id, bool checked) {
                    if (checked) {
                        runHandler([&] { (c->*handler)(static_cast<std::int16_t>(id)); });
                    }
                });
    }
    connect(m_mediaMode, &QButtonGroup::idToggled, this, [this, c](int id, bool checked) {
        if (checked) {
            runHandler([&] { c->optMediaMode_Click(static_cast<std::int16_t>(id)); });
        }
    });

    connect(m_slider1, &QSlider::valueChanged, this,
            [this, c] { runHandler([&] { c->Slider1_Change(); }); });
    connect(m_help1, &QAction::triggered, this,
            [this, c] { runHandler([&] { c->MHelp1_Click(); }); });
    connect(m_version, &QAction::triggered, this,
            [this, c] { runHandler([&] { c->MVersion_Click(); }); });
}

void Form1::runHandler(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const SoundError& error) {
        m_errors.report(error.message());
        if (error.kind() == SoundError::Kind::Device) {
            // No device: the switch goes back to OFF, so the lamp does not
            // stay red over silence.
            optMediaMode(1)->setChecked(true);
        }
    } catch (const std::exception& error) {
        m_errors.report(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        m_errors.report(QStringLiteral("予期しないエラーが発生しました。"));
    }
}

void Form1::Form_Load() {
    DrawWavePreview(*Picture1(0), *Picture1(1));
}

QCheckBox* Form1::Check(int channel) const {
    return channel >= 1 && channel <= 3 ? m_checks[static_cast<std::size_t>(channel - 1)] : nullptr;
}

QAbstractButton* Form1::Option(int array, int member) const {
    if (array < 1 || array > 4) {
        return nullptr;
    }
    return m_optionGroups[static_cast<std::size_t>(array - 1)]->button(member);
}

QAbstractButton* Form1::optMediaMode(int member) const {
    return m_mediaMode->button(member);
}

PictureBox* Form1::Picture1(int member) const {
    return member == 0 || member == 1 ? m_pictures[static_cast<std::size_t>(member)] : nullptr;
}

int Form1::checkValue(int channel) const {
    const QCheckBox* box = Check(channel);
    return box != nullptr && box->isChecked() ? 1 : 0;
}

void Form1::setLabel1BackColor(std::uint32_t bgr) {
    setBackColor(m_label1, bgr);
    // Shown at once: the ON branch paints the lamp before it opens the device.
    m_label1->repaint();
}

bool Form1::isVariantSelected(int channel, int member) const {
    const QAbstractButton* button =
        channel >= 1 && channel <= 3 ? Option(channel, member) : nullptr;
    return button != nullptr && button->isChecked();
}

bool Form1::isWaveShapeSelected(int member) const {
    const QAbstractButton* button = Option(4, member);
    return button != nullptr && button->isChecked();
}

int Form1::sliderPosition() const {
    return m_slider1->value();
}

audio::WindowHandle Form1::windowHandle() const {
    return static_cast<audio::WindowHandle>(winId());
}

} // namespace vemba
