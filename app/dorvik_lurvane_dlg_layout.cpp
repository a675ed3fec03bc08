// Creation and arrangement of the window's controls.
#include <QButtonGroup>
#include <QComboBox>
#include <QFontMetricsF>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/control_ids.h"
#include "app/dialog_units.h"
#include "app/dorvik_lurvane_dlg.h"

namespace {
// Size of the window in dialog units.
constexpr int kWidthUnits = 895;
constexpr int kHeightUnits = 462;
// Width of the list's one column in pixels.
constexpr int kInterfaceColumnWidth = 290;

QLineEdit* MakeLine(QWidget* parent, int id, bool digitsOnly = false) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(ControlName(id));
    if (digitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    return edit;
}

QPushButton* MakeButton(QWidget* parent, int id, const QString& caption) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(ControlName(id));
    button->setAutoDefault(false);
    return button;
}

// A multi-line box with a vertical scroll bar. Lines wrap at any character rather than at
// word boundaries: pushed events carry lines of hundreds of kilobytes without a space, which
// word wrapping would take minutes to lay out.
QPlainTextEdit* MakeTextBox(QWidget* parent, int id, bool readOnly) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(ControlName(id));
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    box->setWordWrapMode(QTextOption::WrapAnywhere);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Requests and answers indent with tabs: four characters keep nested XML on screen.
    box->setTabStopDistance(4 * QFontMetricsF(box->font()).averageCharWidth());
    box->setReadOnly(readOnly);
    if (readOnly)
        box->setUndoRedoEnabled(false);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}
}  // namespace

void CDorvik_LurvaneDlg::CreateControls() {
    setFixedSize(DialogUnitsToPixels(font(), kWidthUnits, kHeightUnits));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    // Top row: IP, user name, password and their toggle.
    m_editIp = MakeLine(this, ControlId::kIp);
    m_editUser = MakeLine(this, ControlId::kUser);
    m_editPassword = MakeLine(this, ControlId::kPassword);
    m_editPassword->setEchoMode(QLineEdit::Password);
    m_btnChangeAccount =
        MakeButton(this, ControlId::kChangeAccount, QStringLiteral("Change IP/username/password"));
    // Devices used before; open even while the fields are locked.
    m_btnDevices = new QToolButton(this);
    m_btnDevices->setObjectName(QStringLiteral("devices"));
    m_btnDevices->setText(QStringLiteral("Devices"));
    m_btnDevices->setToolTip(QStringLiteral("Devices used before: fill in the fields"));
    m_btnDevices->setPopupMode(QToolButton::InstantPopup);
    m_menuDevices = new QMenu(m_btnDevices);
    m_menuDevices->setObjectName(QStringLiteral("devicesMenu"));
    m_btnDevices->setMenu(m_menuDevices);
    auto* top = new QHBoxLayout;
    top->addWidget(MakeLabel(this, QStringLiteral("Please enter the IP and Port:")));
    top->addWidget(m_editIp, 2);
    top->addWidget(m_btnDevices);
    top->addSpacing(12);
    top->addWidget(MakeLabel(this, QStringLiteral("username")));
    top->addWidget(m_editUser, 2);
    top->addSpacing(12);
    top->addWidget(MakeLabel(this, QStringLiteral("password")));
    top->addWidget(m_editPassword, 2);
    top->addSpacing(12);
    top->addWidget(m_btnChangeAccount);
    // What became of a device or its password; a long text is cut rather than squeezing the
    // fields of the fixed-size window.
    m_labelDeviceStatus = new QLabel(this);
    m_labelDeviceStatus->setObjectName(QStringLiteral("deviceStatus"));
    m_labelDeviceStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    top->addSpacing(12);
    top->addWidget(m_labelDeviceStatus, 3);

    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);

    // Left column: ports, connection mode, modules and the interface list.
    m_editLongPort = MakeLine(this, ControlId::kLongPort, true);
    m_editShortPort = MakeLine(this, ControlId::kShortPort, true);
    m_btnChangePort = MakeButton(this, ControlId::kChangePort, QStringLiteral("Change Port"));
    auto* ports = new QGridLayout;
    ports->addWidget(MakeLabel(this, QStringLiteral("Long port")), 0, 0);
    ports->addWidget(m_editLongPort, 0, 1);
    ports->addWidget(MakeLabel(this, QStringLiteral("Short port")), 1, 0);
    ports->addWidget(m_editShortPort, 1, 1);
    ports->addWidget(m_btnChangePort, 0, 2, 2, 1);

    m_radioLong = new QRadioButton(QStringLiteral("Long connect"), this);
    m_radioLong->setObjectName(ControlName(ControlId::kLongConnect));
    m_radioShort = new QRadioButton(QStringLiteral("Short connect"), this);
    m_radioShort->setObjectName(ControlName(ControlId::kShortConnect));
    m_groupMode = new QButtonGroup(this);
    m_groupMode->addButton(m_radioLong, kConnLong);
    m_groupMode->addButton(m_radioShort, kConnShort);
    auto* modes = new QHBoxLayout;
    modes->addWidget(m_radioLong);
    modes->addWidget(m_radioShort);
    modes->addStretch();

    m_comboModule = new QComboBox(this);
    m_comboModule->setObjectName(ControlName(ControlId::kModule));
    m_comboModule->setEditable(false);
    m_comboModule->setMaxVisibleItems(20);
    auto* modules = new QHBoxLayout;
    modules->addWidget(MakeLabel(this, QStringLiteral("Modules")));
    modules->addWidget(m_comboModule, 1);

    m_listInterface = new QTableWidget(0, 1, this);
    m_listInterface->setObjectName(ControlName(ControlId::kInterfaceList));
    m_listInterface->setHorizontalHeaderLabels({QStringLiteral("Interface Name")});
    m_listInterface->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_listInterface->horizontalHeader()->setStretchLastSection(false);
    m_listInterface->setColumnWidth(0, kInterfaceColumnWidth);
    m_listInterface->verticalHeader()->hide();
    m_listInterface->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    m_listInterface->setShowGrid(true);
    m_listInterface->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_listInterface->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listInterface->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listInterface->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_listInterface->setMinimumWidth(kInterfaceColumnWidth + 24);

    auto* left = new QVBoxLayout;
    left->addLayout(ports);
    left->addLayout(modes);
    left->addLayout(modules);
    left->addWidget(m_listInterface, 1);

    // Centre column: request editor, send buttons, response box.
    m_editRequest = MakeTextBox(this, ControlId::kRequest, false);
    m_btnSelectProtocol =
        MakeButton(this, ControlId::kSelectProtocol, QStringLiteral("Select Protocol"));
    m_btnLongSend = MakeButton(this, ControlId::kLongSend, QStringLiteral("Long connect send"));
    m_btnShortSend = MakeButton(this, ControlId::kShortSend, QStringLiteral("Short connect send"));
    m_labelStatus = new QLabel(this);
    m_labelStatus->setObjectName(QStringLiteral("status"));
    m_editResult = MakeTextBox(this, ControlId::kResult, true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_btnSelectProtocol);
    buttons->addWidget(m_btnLongSend);
    buttons->addWidget(m_btnShortSend);
    buttons->addWidget(m_labelStatus, 1);
    auto* centre = new QVBoxLayout;
    centre->addWidget(m_editRequest, 1);
    centre->addLayout(buttons);
    centre->addWidget(MakeLabel(this, QStringLiteral("Command response results:")));
    centre->addWidget(m_editResult, 1);

    // Right column: the paired interface's pane.
    m_editPairRequest = MakeTextBox(this, ControlId::kPairRequest, false);
    m_btnPairSend = MakeButton(this, ControlId::kPairSend, QStringLiteral("Send"));
    m_btnPairSend->setDefault(true);
    m_editPairResult = MakeTextBox(this, ControlId::kPairResult, true);
    auto* pairButtons = new QHBoxLayout;
    pairButtons->addWidget(m_btnPairSend);
    pairButtons->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(m_editPairRequest, 1);
    right->addLayout(pairButtons);
    right->addWidget(MakeLabel(this, QStringLiteral("Command response results:")));
    right->addWidget(m_editPairResult, 1);

    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 0);
    columns->addLayout(centre, 1);
    columns->addLayout(right, 1);

    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top);
    whole->addWidget(rule);
    whole->addLayout(columns, 1);
}
