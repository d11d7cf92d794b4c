// SPDX-License-Identifier: GPL-3.0-or-later
#include "qt/MainWindow.h"

#include "app/ListLayout.h"
#include "common/Twips.h"
#include "qt/AboutDialog.h"
#include "qt/AppIcons.h"
#include "qt/DeviceListModel.h"
#include "qt/DeviceListView.h"
#include "qt/MainMenus.h"
#include "qt/QtListExport.h"
#include "qt/RowDialogs.h"
#include "qt/UiText.h"
#include "qt/WindowSearch.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QToolButton>

namespace fw {
namespace {} // namespace

MainWindow::MainWindow(Platform& platform, EngineLink engine, RowDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), platform_(platform), dialogs_(dialogs),
      listTopTwips_(list_layout::kInitialListTop) {
    setObjectName("start");
    setWindowIcon(AppIcons::program());
    menus_ = new MainMenus(*this);
    // The logic makes the vendor texts; the model asks only once rows are listed, after it exists.
    model_ = new DeviceListModel({[this](int row, int column) { return logic_->cellText(row, column); },
                                  [this](int row, int column) {
                                      return logic_->toolTip(row, column);
                                  }},
                                 this);
    search_ = new WindowSearch(platform_, engine, this, this);
    MainWindowLogic::View& view = *this;
    listExport_ = std::make_unique<QtListExport>(platform_, this);
    logic_ =
        std::make_unique<MainWindowLogic>(view, *model_, search_->port(), *search_, listExport_->logic());
    connect(search_, &WindowSearch::countdownEnded, this, [this] { logic_->search().countdownEnded(); });
    buildClientArea();
    connectCommands();

    // Load order: captions, (request bytes: the search cycle's), title, toolbar pictures, list
    // columns, empty list, initial enabling, row icons. Showing the window then starts the search.
    menus_->applyCaptions();
    command3_->setToolTip(uiText(Str::Delete));
    command4_->setToolTip(uiText(Str::Search));
    // The picture buttons have no text of their own: screen readers say the menu entry each one
    // stands for (its caption without the mnemonic), and the list by what it lists.
    command3_->setAccessibleName(menus_->action("delete")->iconText());
    command4_->setAccessibleName(menus_->action("search")->iconText());
    list_->setAccessibleName(uiText(Str::ColDevice));
    setWindowTitle(uiText(Str::Product));
    command3_->setIcon(AppIcons::deleteRow());
    command4_->setIcon(AppIcons::search());
    list_->setModel(model_);
    list_->setColumnHidden(DeviceListModel::kKindColumn, true);
    logic_->load();
    vendorLoad_ = std::make_unique<VendorTableLoad>(
        platform_.host, queue_, [this](VendorTable vendors) { logic_->vendorsLoaded(std::move(vendors)); });
    command4_->setFocus();
    model_->setRowIcon(AppIcons::normalRow());

    const double dpi = logicalDpiX();
    resize(twipsToPixels(list_layout::kClientWidth, dpi),
           twipsToPixels(list_layout::kClientHeight, dpi) + menuBar()->sizeHint().height());
    layoutClient();
}

MainWindow::~MainWindow() {
    logic_->search().closeDiscoverySockets();
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
    for (std::size_t i = 0; i < kMenuEntries.size(); ++i) {
        const MenuCommand command = kMenuEntries[i].command;
        connect(menus_->action(i), &QAction::triggered, this, [this, command] { logic_->run(command); });
    }
    connect(command3_, &QToolButton::clicked, this, [this] { logic_->run(MenuCommand::Delete); });
    connect(command4_, &QToolButton::clicked, this, [this] { logic_->searchButton(); });
    connect(menus_->menu(MenuId::Admin), &QMenu::aboutToShow, this, [this] { logic_->adminOpening(); });
    connect(menus_->menu(MenuId::Edit), &QMenu::aboutToShow, this, [this] { logic_->editOpening(); });

    connect(list_, &DeviceListView::picked, this,
            [this](int row, Qt::MouseButton button) { logic_->picked(row, button == Qt::LeftButton); });
    connect(list_, &DeviceListView::rightReleased, this, [this](const QPoint& at) {
        popupAt_ = at;
        logic_->rightReleased();
    });
    connect(list_, &DeviceListView::leftDoubleClicked, this, [this] { logic_->doubleClicked(); });
    connect(list_, &DeviceListView::commandKey, this, [this](WindowKey key) { logic_->keyPressed(key); });
    connect(list_->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { logic_->headerClicked(column); });
}

void MainWindow::render(const CommandEnabling& enabling) {
    command3_->setEnabled(enabling.enabled(Command::DeleteButton));
    command4_->setEnabled(enabling.enabled(Command::SearchButton));
    menus_->render(enabling);
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
    const bool vendorShown = logic_->vendorColumnShown();
    const auto unit = list_layout::widthUnit(
        list_layout::sharedWidth(static_cast<int>(pixelsToTwips(width, dpi)), vendorShown));
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
    if (vendorShown) {
        list_->header()->resizeSection(DeviceListModel::kVendorColumn,
                                       std::max(0, twipsToPixels(*unit, dpi)));
    }
}

void MainWindow::showToolbar(bool shown) {
    menus_->action("toolbar")->setChecked(shown);
    command3_->setVisible(shown);
    command4_->setVisible(shown);
    listTopTwips_ = shown ? list_layout::kShownListTop : 0.0;
    layoutClient();
}

// F5 reaches the window from whichever control had the focus and left it alone.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F5 && event->modifiers() == Qt::NoModifier) {
        logic_->keyPressed(WindowKey::F5);
        event->accept();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    logic_->shown();
}

void MainWindow::startFirstSearchTimer(std::chrono::milliseconds delay) {
    QTimer::singleShot(delay, this, [this] { logic_->firstSearchDue(); });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (logic_->closeRequested()) {
        event->accept();
    } else {
        event->ignore();
    }
}

MessageAnswer MainWindow::ask(const Message& message) {
    return platform_.messages.show(this, message);
}

int MainWindow::pickedRow() const {
    return list_->pickedRow();
}

void MainWindow::unpick() {
    list_->unpick();
}

void MainWindow::pick(int row) {
    list_->pick(row);
}

void MainWindow::showSortIndicator(int column, bool ascending) {
    list_->header()->setSortIndicatorShown(column >= 0);
    if (column < 0) {
        return;
    }
    list_->header()->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void MainWindow::showVendorColumn(bool shown) {
    menus_->action("vendorcolumn")->setChecked(shown);
    model_->showVendorColumn(shown);
    layoutClient();
}

void MainWindow::vendorsChanged() {
    model_->vendorsChanged();
}

void MainWindow::showPopup(MainWindowLogic::Popup popup, MainWindowLogic::PopupPlace place) {
    QPoint at = popupAt_;
    if (place != MainWindowLogic::PopupPlace::Pointer) { // from the keyboard: below the row, or the corner
        QPoint inRows(0, 0);
        if (const int row = list_->pickedRow(); place == MainWindowLogic::PopupPlace::PickedRow && row >= 0) {
            const QModelIndex index = model_->index(row, 0);
            list_->scrollTo(index);
            inRows = list_->visualRect(index).bottomLeft();
        }
        at = list_->viewport()->mapToGlobal(inRows);
    }
    menus_->menu(popup == MainWindowLogic::Popup::Row ? MenuId::RowPopup : MenuId::SpacePopup)->popup(at);
}

int MainWindow::openSetIp(const SetIpDialog::Opening& opening) {
    return dialogs_.openSetIp(this, opening);
}

void MainWindow::openUpgrade(const UpgradeDialog::Opening& opening) {
    dialogs_.openUpgrade(this, opening);
}

void MainWindow::flushNeighbour(Ipv4 ip) {
    platform_.host.flushNeighbour(ip);
}

void MainWindow::openUrl(const std::string& url) {
    platform_.shell.openUrl(url);
}

// The selection too, so that a middle click pastes what was copied, as X11 users expect.
void MainWindow::copyToClipboard(const std::string& text) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    const QString copied = QString::fromStdString(text);
    clipboard->setText(copied, QClipboard::Clipboard);
    if (clipboard->supportsSelection()) {
        clipboard->setText(copied, QClipboard::Selection);
    }
}

void MainWindow::showAbout() {
    AboutDialog about(this);
    about.exec();
}

} // namespace fw
