// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/AppIcons.h"
#include "app/DeviceListView.h"
#include "app/MainMenus.h"
#include "app/RowDialogs.h"
#include "app/core/ListLayout.h"
#include "common/MacAddress.h"
#include "common/Twips.h"
#include "discovery/DeviceListModel.h"
#include "discovery/WindowSearch.h"
#include "platform/UiText.h"

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

namespace fw {
namespace {

constexpr int kClientWidthTwips = 9480;
constexpr int kClientHeightTwips = 6495;
constexpr int kFirstSearchDelayMs = 500;

} // namespace

MainWindow::MainWindow(Platform& platform, EngineLink engine, RowDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), platform_(platform), dialogs_(dialogs),
      listTopTwips_(list_layout::kInitialListTop) {
    setObjectName("start");
    setWindowIcon(AppIcons::program());
    menus_ = new MainMenus(*this);
    model_ = new DeviceListModel(this);
    search_ = new WindowSearch(platform_, engine, values_, *model_, this, this);
    buildClientArea();
    connectCommands();

    // Load order: captions, (request bytes: the search cycle's), title, toolbar pictures, list
    // columns, empty list, initial enabling, row icons. Showing the window then starts the search.
    menus_->applyCaptions();
    command3_->setToolTip(uiText(Str::Delete));
    command4_->setToolTip(uiText(Str::Search));
    // The picture buttons have no text of their own: screen readers say the menu entry each one
    // stands for (its caption without the mnemonic), and the list by what it lists.
    command3_->setAccessibleName(menus_->deleteRow->iconText());
    command4_->setAccessibleName(menus_->search->iconText());
    list_->setAccessibleName(uiText(Str::ColDevice));
    setWindowTitle(uiText(Str::Product));
    command3_->setIcon(AppIcons::deleteRow());
    command4_->setIcon(AppIcons::search());
    list_->setModel(model_);
    list_->setColumnHidden(DeviceListModel::kKindColumn, true);
    model_->clear();
    apply(EnablingEvent::StartUp);
    command4_->setFocus();
    model_->setRowIcon(AppIcons::normalRow());

    const double dpi = logicalDpiX();
    resize(twipsToPixels(kClientWidthTwips, dpi),
           twipsToPixels(kClientHeightTwips, dpi) + menuBar()->sizeHint().height());
    layoutClient();
}

MainWindow::~MainWindow() {
    search_->closeDiscoverySockets();
}

void MainWindow::buildClientArea() {
    client_ = new QWidget(this);
    client_->setObjectName("client");
    QFont font("Lucida Sans Unicode");
    font.setPointSizeF(8.25);
    client_->setFont(font);
    setCentralWidget(client_);
    client_->installEventFilter(this);

    line1_ = new QFrame(client_);
    line1_->setObjectName("Line1");
    line1_->setFrameShape(QFrame::NoFrame);
    line1_->setStyleSheet("background-color: #e0e0e0;");

    command3_ = new QToolButton(client_);
    command3_->setObjectName("Command3");
    command4_ = new QToolButton(client_);
    command4_->setObjectName("Command4");
    for (QToolButton* b : {command3_, command4_}) {
        b->setIconSize(QSize(16, 16));
        b->setFocusPolicy(Qt::StrongFocus);
    }

    list_ = new DeviceListView(client_);
}

void MainWindow::connectCommands() {
    MainMenus& m = *menus_;
    connect(m.connect, &QAction::triggered, this, &MainWindow::connectToDevice);
    connect(m.mexit, &QAction::triggered, this, &QWidget::close);
    connect(m.deleteRow, &QAction::triggered, this, &MainWindow::deletePicked);
    connect(m.mdelete, &QAction::triggered, this, &MainWindow::deletePicked);
    connect(command3_, &QToolButton::clicked, this, &MainWindow::deletePicked);
    connect(m.all, &QAction::triggered, this, &MainWindow::deleteAll);
    connect(m.mdelall, &QAction::triggered, this, &MainWindow::deleteAll);
    connect(m.search, &QAction::triggered, this, &MainWindow::search);
    connect(command4_, &QToolButton::clicked, this, &MainWindow::searchWithButtonLocking);
    connect(m.toolbar, &QAction::toggled, this, &MainWindow::toggleToolbar);
    connect(m.admin, &QMenu::aboutToShow, this, &MainWindow::onAdminAboutToShow);
    connect(m.setip, &QAction::triggered, this, &MainWindow::setIpCommand);
    connect(m.msetip, &QAction::triggered, this, &MainWindow::setIpCommand);
    connect(m.mload, &QAction::triggered, this, &MainWindow::upgradeCommand);
    connect(m.mDownload, &QAction::triggered, this, &MainWindow::upgradeCommand);
    connect(m.mDiagnois, &QAction::triggered, this, &MainWindow::diagnostic);
    connect(m.mDiag, &QAction::triggered, this, &MainWindow::diagnostic);
    connect(m.mReturnToNormal, &QAction::triggered, this, &MainWindow::returnToNormalMode);
    connect(m.mreturn, &QAction::triggered, this, &MainWindow::returnToNormalMode);
    connect(m.mabout, &QAction::triggered, this, &MainWindow::showAbout);
    // File -> Open, Save and Save As and Help -> Help Topics... stay hidden and disabled all run long.

    connect(list_, &DeviceListView::picked, this, &MainWindow::onPicked);
    connect(list_, &DeviceListView::rightReleased, this, &MainWindow::onRightReleased);
    connect(list_, &DeviceListView::leftDoubleClicked, this, &MainWindow::connectToDevice);

    connect(search_, &WindowSearch::searchStarted, this, [this] { apply(EnablingEvent::SearchStarts); });
    connect(search_, &WindowSearch::rowAdded, this, &MainWindow::onRowListed);
    connect(search_, &WindowSearch::searchFinished, this, &MainWindow::onSearchFinished);
    connect(search_, &WindowSearch::adapterFailure, this, &MainWindow::endProgram);
}

void MainWindow::apply(EnablingEvent event) {
    enabling_.apply(event);
    render();
}

void MainWindow::render() {
    const MainMenus& m = *menus_;
    const auto set = [this](QAction* a, Command c) {
        a->setEnabled(enabling_.enabled(c));
    };
    command3_->setEnabled(enabling_.enabled(Command::DeleteButton));
    command4_->setEnabled(enabling_.enabled(Command::SearchButton));
    set(m.deleteRow, Command::EditDelete);
    set(m.all, Command::EditDeleteAll);
    set(m.connect, Command::FileConnect);
    set(m.setip, Command::AdminSetIp);
    set(m.mload, Command::AdminUpgrade);
    set(m.msetip, Command::PopupSetIp);
    set(m.mDownload, Command::PopupUpgrade);
    set(m.mDiagnois, Command::AdminDiagnostic);
    set(m.mDiag, Command::PopupDiagnostic);
    set(m.mreturn, Command::PopupReturnToNormal);
    set(m.mOpen, Command::FileOpen);
    set(m.save, Command::FileSave);
    set(m.saveas, Command::FileSaveAs);
    set(m.helptopic, Command::HelpTopics);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) {
        layoutClient();
    }
    return QMainWindow::eventFilter(watched, event);
}

// The list fills the client area below the toolbar band (from the top with the toolbar hidden), and
// its six visible columns share the list's width by the w rule. A size that gives w <= 0 (a minimized
// window) leaves everything as it was.
void MainWindow::layoutClient() {
    const double dpi = logicalDpiX();
    const int width = client_->width();
    const int height = client_->height();
    const auto unit = list_layout::widthUnit(static_cast<int>(pixelsToTwips(width, dpi)));
    if (!unit) {
        return;
    }
    line1_->setGeometry(0, 0, width, 1);
    const int button = twipsToPixels(list_layout::kButtonSize, dpi);
    const int top = twipsToPixels(list_layout::kButtonTop, dpi);
    command3_->setGeometry(twipsToPixels(list_layout::kDeleteButtonLeft, dpi), top, button, button);
    command4_->setGeometry(twipsToPixels(list_layout::kSearchButtonLeft, dpi), top, button, button);

    const int listTop = twipsToPixels(listTopTwips_, dpi);
    list_->setGeometry(0, listTop, width, std::max(0, height - listTop));
    const auto widths = list_layout::columnWidths(*unit);
    for (int c = 0; c < list_layout::kColumnCount; ++c) {
        if (c == DeviceListModel::kKindColumn) {
            continue; // hidden, width 0
        }
        list_->header()->resizeSection(c,
                                       std::max(0, twipsToPixels(widths[static_cast<std::size_t>(c)], dpi)));
    }
}

void MainWindow::toggleToolbar(bool shown) {
    command3_->setVisible(shown);
    command4_->setVisible(shown);
    listTopTwips_ = shown ? list_layout::kShownListTop : 0.0;
    layoutClient();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!firstShowDone_) {
        firstShowDone_ = true;
        // Half a second for the window to be drawn, then the first search.
        QTimer::singleShot(kFirstSearchDelayMs, this, &MainWindow::search);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (ending_) {
        event->accept();
        return;
    }
    const Message confirm{std::string(loadResString(Str::ExitConfirm)), std::string(loadResString(Str::Exit)),
                          MessageIcon::Information, MessageButtons::OkCancel, true};
    if (platform_.messages.show(this, confirm) != MessageAnswer::Ok) {
        event->ignore();
        return;
    }
    ending_ = true;
    event->accept();
    emit programEnding(0);
}

// A workstation without a usable adapter cannot do anything; the search has told the operator why.
void MainWindow::endProgram(AdapterOutcome outcome) {
    (void)outcome;
    if (ending_) {
        return;
    }
    ending_ = true;
    emit programEnding(1);
    close();
}

const DeviceRow* MainWindow::pickedRow() const {
    const int row = list_->pickedRow();
    if (row < 0 || row >= model_->rowCount()) {
        return nullptr;
    }
    return &model_->rowAt(row);
}

// A row's address goes to the hand-off values together with the adapter its reply came in on, so
// that Set IP and the upgrade talk through that adapter.
void MainWindow::takeHandOffFrom(const DeviceRow& row) {
    values_.selectedDeviceIp = row.ip;
    values_.localAdapterIp = row.adapterIp;
}

void MainWindow::search() {
    search_->search();
}

void MainWindow::searchWithButtonLocking() {
    searchButtonLocked_ = true;
    apply(EnablingEvent::SearchButtonPressed);
    search_->search();
}

void MainWindow::onSearchFinished() {
    if (searchButtonLocked_) {
        searchButtonLocked_ = false;
        apply(EnablingEvent::SearchButtonDone);
    }
}

// The device listed last becomes the selected one, as if picked, until the operator picks a row.
void MainWindow::onRowListed(int row) {
    const DeviceRow& listed = model_->rowAt(row);
    takeHandOffFrom(listed);
    values_.selectedDeviceKind = listed.kind;
    apply(EnablingEvent::ReplyAddsRow);
}

void MainWindow::onPicked(int row, Qt::MouseButton button) {
    if (row < 0 || button != Qt::LeftButton) {
        return;
    }
    takeHandOffFrom(model_->rowAt(row));
    apply(EnablingEvent::LeftPressOnRow);
}

void MainWindow::onRightReleased(const QPoint& globalPos) {
    if (const DeviceRow* row = pickedRow()) {
        takeHandOffFrom(*row);
        apply(EnablingEvent::RightReleaseOnRow);
        menus_->mpop->popup(globalPos);
    } else {
        apply(EnablingEvent::RightReleaseOnSpace);
        menus_->mall->popup(globalPos);
    }
}

void MainWindow::onAdminAboutToShow() {
    if (pickedRow() == nullptr) {
        apply(EnablingEvent::AdminOpenedNoPick);
    }
}

// Flush the neighbour entry first so the browser's request resolves the device afresh (devices
// often change address). Without a picked row there is nothing to open. The address is taken once:
// rows listed while the shell works must not change (or move) what the second step opens.
void MainWindow::connectToDevice() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const Ipv4 device = row->ip;
    platform_.host.flushNeighbour(device);
    platform_.shell.openUrl("http://" + device.toString());
}

void MainWindow::deletePicked() {
    const int row = list_->pickedRow();
    if (row < 0 || row >= model_->rowCount()) {
        return;
    }
    // A single-selection view selects the next row when the current one goes; the operator never
    // picked that one, so a second Delete (or Set IP, Upgrade) must not act on it.
    list_->unpick();
    model_->removeDeviceRow(row);
    if (model_->isEmpty()) {
        apply(EnablingEvent::ListEmptied);
    }
}

void MainWindow::deleteAll() {
    model_->clear();
    apply(EnablingEvent::ListEmptied);
}

void MainWindow::setIpCommand() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const DeviceRow picked = *row;
    // The Set IP socket needs local port 4001.
    search_->closeDiscoverySockets();
    values_.selectedDeviceMac = picked.mac;
    values_.localAdapterIp = picked.adapterIp;
    dialogs_.openSetIp(this, values_);
}

void MainWindow::upgradeCommand() {
    const DeviceRow* row = pickedRow();
    if (row == nullptr) {
        return;
    }
    const DeviceRow picked = *row;
    takeHandOffFrom(picked);
    values_.selectedDeviceKind = picked.kind;
    search_->closeDiscoverySockets();
    dialogs_.openUpgrade(this, values_);
}

// No device protocol goes with the two maintenance commands: nothing is sent.
void MainWindow::diagnostic() {}

void MainWindow::returnToNormalMode() {
    if (values_.selectedDeviceIp) {
        platform_.host.flushNeighbour(*values_.selectedDeviceIp);
    }
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

} // namespace fw
