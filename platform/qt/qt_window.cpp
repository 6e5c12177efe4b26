#include "platform/qt/qt_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QShortcut>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QFontDatabase>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "platform/qt/qt_platform.h"
#include "platform/window_events.h"

namespace vantrel {

namespace {

// A radio button whose mark only the logic sets, as the window logic expects.
class ManualRadioButton final : public QRadioButton {
public:
    using QRadioButton::QRadioButton;

protected:
    void nextCheckState() override {}
};

std::optional<ScrollCode> scrollCodeFor(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: return ScrollCode::LineUp;
    case QAbstractSlider::SliderSingleStepAdd: return ScrollCode::LineDown;
    case QAbstractSlider::SliderPageStepSub: return ScrollCode::PageUp;
    case QAbstractSlider::SliderPageStepAdd: return ScrollCode::PageDown;
    case QAbstractSlider::SliderToMinimum: return ScrollCode::Top;
    case QAbstractSlider::SliderToMaximum: return ScrollCode::Bottom;
    case QAbstractSlider::SliderMove: return ScrollCode::ThumbTrack;
    default: return std::nullopt;
    }
}

QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// The top-level window of a window with a menu bar: the bar above, the window's client area
// (the QtWindow, at its fixed size) below it, a status line for the entries' tips under that.
class MenuFrame final : public QMainWindow {
public:
    MenuFrame(QWidget* owner, QtWindow& client) : QMainWindow(owner, owner ? Qt::Dialog : Qt::Window), client_(client) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->ignore();
        client_.frameCloseRequested();
    }

private:
    QtWindow& client_;
};

} // namespace

QtWindow::QtWindow(QtPlatform& platform, const WindowSpec& layout, WindowClient& client, QWidget* owner, bool modal)
    : QWidget(layout.menus.empty() ? owner : nullptr,
              layout.menus.empty() ? (owner ? Qt::Dialog : Qt::Window) : Qt::Widget),
      platform_(platform),
      name_(layout.name),
      background_(layout.background),
      client_(client),
      image_(layout.width, layout.height, QImage::Format_RGB32),
      canvas_(image_)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedSize(layout.width, layout.height);
    if (!layout.menus.empty()) {
        frame_ = new MenuFrame(owner, *this);
        frame_->setAttribute(Qt::WA_DeleteOnClose, false);
        frame_->setCentralWidget(this);
        frame_->layout()->setSizeConstraint(QLayout::SetFixedSize);
        frame_->statusBar()->setSizeGripEnabled(false);
        buildMenus(layout.menus);
    }
    frame()->setWindowTitle(qs(layout.title));
    if (modal)
        frame()->setWindowModality(Qt::ApplicationModal);
    canvas_.erase(background_);
    for (const ControlSpec& c : layout.controls)
        build(c);
    frame()->show();
}

QWidget* QtWindow::frame()
{
    return frame_ ? static_cast<QWidget*>(frame_) : this;
}

void QtWindow::frameCloseRequested()
{
    if (!destroyed_)
        client_.closeRequested();
}

void QtWindow::buildMenus(std::span<const MenuSpec> menus)
{
    // open[level]: the menu that entries of that level go into.
    std::vector<QMenu*> open;
    for (std::size_t i = 0; i < menus.size(); ++i) {
        const MenuSpec& m = menus[i];
        const bool opensSubmenu = i + 1 < menus.size() && menus[i + 1].level > m.level;
        if (m.level == 0 || opensSubmenu) {
            QMenu* menu = m.level == 0 ? frame_->menuBar()->addMenu(qs(m.caption))
                                       : open[static_cast<std::size_t>(m.level - 1)]->addMenu(qs(m.caption));
            open.resize(static_cast<std::size_t>(m.level));
            open.push_back(menu);
            if (m.id >= 0)
                menus_[m.id] = {menu->menuAction(), std::string(m.statusTip)};
            menu->menuAction()->setStatusTip(qs(m.statusTip));
            continue;
        }
        if (m.level < 1 || static_cast<std::size_t>(m.level) > open.size())
            continue; // an entry outside any menu: the table is wrong, and it is left out
        QMenu* into = open[static_cast<std::size_t>(m.level - 1)];
        if (m.id < 0 && m.caption.empty()) {
            into->addSeparator();
            continue;
        }
        QAction* action = into->addAction(qs(m.caption));
        action->setStatusTip(qs(m.statusTip));
        action->setCheckable(m.checkable);
        if (!m.shortcut.empty())
            action->setShortcut(QKeySequence(qs(m.shortcut)));
        const int id = m.id;
        connect(action, &QAction::triggered, this, [this, action, id] {
            // Checkable entries, as radio buttons, carry only the mark the logic sets.
            if (action->isCheckable())
                action->setChecked(!action->isChecked());
            platform_.log().record("menu", name_ + " " + std::to_string(id));
            client_.command(id, kNotifyClicked);
        });
        if (id >= 0)
            menus_[id] = {action, std::string(m.statusTip)};
    }
}

void QtWindow::enableMenu(int id, bool enabled, std::string_view reason)
{
    auto it = menus_.find(id);
    if (it == menus_.end())
        return;
    it->second.action->setEnabled(enabled);
    it->second.action->setStatusTip(reason.empty() ? QString::fromStdString(it->second.tip) : qs(reason));
}

void QtWindow::setMenuText(int id, std::string_view caption, bool visible)
{
    auto it = menus_.find(id);
    if (it == menus_.end())
        return;
    it->second.action->setText(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    it->second.action->setVisible(visible);
}

void QtWindow::setPictureTabs(int id, std::vector<PictureTab> tabs)
{
    auto* tabWidget = qobject_cast<QTabWidget*>(widget(id));
    if (!tabWidget)
        return;
    while (tabWidget->count() > 0) {
        QWidget* page = tabWidget->widget(0);
        tabWidget->removeTab(0);
        page->deleteLater();
    }
    std::vector<ShownPicture>& shown = pictures_[id];
    shown.clear();
    const int percent = zoom_.count(id) ? zoom_[id] : 100;
    for (const PictureTab& tab : tabs) {
        auto* area = new QScrollArea;
        auto* page = new QWidget;
        auto* column = new QVBoxLayout(page);
        for (const TabPicture& picture : tab.pictures) {
            QImage image(picture.width, picture.height, QImage::Format_RGB32);
            image.fill(Qt::white);
            ImageCanvas canvas(image);
            picture.draw(canvas);
            auto* label = new QLabel;
            column->addWidget(label);
            shown.push_back({label, image});
        }
        if (!tab.text.empty()) {
            auto* text = new QLabel(QString::fromUtf8(tab.text.data(), static_cast<qsizetype>(tab.text.size())));
            text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
            text->setTextInteractionFlags(Qt::TextSelectableByMouse);
            column->addWidget(text);
        }
        column->addStretch(1);
        // Ctrl+wheel over the pictures zooms them: the viewport is where the wheel lands.
        area->viewport()->setProperty(kZoomControlProperty, id);
        area->viewport()->installEventFilter(this);
        area->setWidget(page);
        area->setWidgetResizable(true);
        tabWidget->addTab(area, QString::fromStdString(tab.title));
    }
    setPictureZoom(id, percent);
}

bool QtWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Wheel)
        return QWidget::eventFilter(watched, event);
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QVariant control = watched->property(kZoomControlProperty);
    if (!control.isValid() || !(wheel->modifiers() & Qt::ControlModifier))
        return QWidget::eventFilter(watched, event);
    // A notch is 120; a touchpad's finer steps add up to notches.
    const int id = control.toInt();
    int& turned = wheelTurned_[id];
    turned += wheel->angleDelta().y();
    for (; turned >= 120 && !destroyed_; turned -= 120)
        client_.command(id, kNotifyZoomIn);
    for (; turned <= -120 && !destroyed_; turned += 120)
        client_.command(id, kNotifyZoomOut);
    return true;
}

void QtWindow::setPictureZoom(int id, int percent)
{
    zoom_[id] = percent;
    for (ShownPicture& p : pictures_[id]) {
        const QSize size = p.image.size() * (percent / 100.0);
        p.label->setPixmap(QPixmap::fromImage(
            percent == 100 ? p.image : p.image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        p.label->setFixedSize(size);
    }
}

void QtWindow::checkMenu(int id, bool checked)
{
    auto it = menus_.find(id);
    if (it != menus_.end())
        it->second.action->setChecked(checked);
}

QtWindow::~QtWindow() = default;

void QtWindow::build(const ControlSpec& c)
{
    QWidget* w = nullptr;
    const int id = c.id;
    switch (c.kind) {
    case ControlKind::PushButton: {
        auto* b = new QPushButton(qs(c.caption), this);
        connect(b, &QPushButton::clicked, this, [this, id] { client_.command(id, kNotifyClicked); });
        w = b;
        break;
    }
    case ControlKind::RadioButton: {
        auto* b = new ManualRadioButton(qs(c.caption), this);
        b->setAutoExclusive(false);
        connect(b, &QRadioButton::clicked, this, [this, id] { client_.command(id, kNotifyClicked); });
        w = b;
        break;
    }
    case ControlKind::CheckBox: {
        auto* b = new QCheckBox(qs(c.caption), this);
        connect(b, &QCheckBox::clicked, this, [this, id] { client_.command(id, kNotifyClicked); });
        w = b;
        break;
    }
    case ControlKind::ListBox: {
        auto* l = new QListWidget(this);
        l->setSelectionMode(QAbstractItemView::SingleSelection);
        // Mouse and keyboard alike move the selection; programmatic changes are blocked.
        connect(l, &QListWidget::currentRowChanged, this, [this, l, id](int row) {
            if (row < 0)
                return;
            client_.command(id, kNotifySelChange);
            // A click selects its row only after this notification: when the logic has put the
            // list back (a refused choice), its row is selected again once the click is done.
            if (const int kept = l->currentRow(); kept != row)
                QTimer::singleShot(0, l, [l, kept] {
                    if (l->currentRow() != kept)
                        return;
                    const QSignalBlocker block(l);
                    l->setCurrentRow(kept, QItemSelectionModel::ClearAndSelect);
                });
        });
        connect(l, &QListWidget::itemActivated, this, [this, id] { client_.command(id, kNotifyDblClick); });
        // A list box shows whole rows only: its height shrinks to the rows of the font in use
        // that fit, so that no entry is cut in half at the bottom.
        l->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        {
            const QSignalBlocker block(l);
            l->addItem(QStringLiteral("Xg"));
            const int row = std::max(1, l->sizeHintForRow(0));
            l->clear();
            const int frame = 2 * l->frameWidth();
            const int rows = std::max(1, (c.height - frame) / row);
            l->setGeometry(c.x, c.y, c.width, frame + rows * row);
        }
        if (id >= 0)
            controls_[id] = l;
        return;
    }
    case ControlKind::HScrollBar:
    case ControlKind::VScrollBar: {
        auto* s = new QScrollBar(c.kind == ControlKind::HScrollBar ? Qt::Horizontal : Qt::Vertical, this);
        s->setRange(c.rangeMin, c.rangeMax);
        s->setSingleStep(1);
        s->setPageStep(10);
        // The logic moves the bar itself: undo Qt's own move and report the action instead.
        connect(s, &QScrollBar::actionTriggered, this, [this, s, id](int action) {
            const auto code = scrollCodeFor(action);
            if (!code)
                return;
            const int position = s->sliderPosition();
            s->setSliderPosition(s->value());
            client_.scroll(id, *code, position);
            update(); // show what the scroll drew at the screen's pace, not the refresh timer's
        });
        connect(s, &QScrollBar::sliderReleased, this, [this, s, id] {
            client_.scroll(id, ScrollCode::ThumbPosition, s->sliderPosition());
            client_.scroll(id, ScrollCode::EndScroll, 0);
        });
        w = s;
        break;
    }
    case ControlKind::Edit: {
        auto* e = new QLineEdit(qs(c.caption), this);
        connect(e, &QLineEdit::textEdited, this, [this, id] { client_.command(id, kNotifyEditChange); });
        connect(e, &QLineEdit::editingFinished, this, [this, id] { client_.command(id, kNotifyEditFinished); });
        w = e;
        break;
    }
    case ControlKind::Static: {
        auto* l = new QLabel(qs(c.caption), this);
        l->setAutoFillBackground(false);
        w = l;
        break;
    }
    case ControlKind::GroupBox:
        w = new QGroupBox(qs(c.caption), this);
        w->lower();
        break;
    case ControlKind::PlotArea:
        return; // drawn on the window surface
    case ControlKind::PictureTabs:
        w = new QTabWidget(this);
        break;
    case ControlKind::Shortcut: {
        auto* s = new QShortcut(QKeySequence(qs(c.caption)), this);
        connect(s, &QShortcut::activated, this, [this, id] { client_.command(id, kNotifyClicked); });
        return;
    }
    }
    w->setGeometry(c.x, c.y, c.width, c.height);
    if (id >= 0)
        controls_[id] = w;
}

QWidget* QtWindow::widget(int id) const
{
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

void QtWindow::setCheck(int id, bool checked)
{
    if (auto* b = qobject_cast<QAbstractButton*>(widget(id))) {
        const QSignalBlocker block(b);
        b->setChecked(checked);
    }
}

bool QtWindow::isChecked(int id) const
{
    auto* b = qobject_cast<QAbstractButton*>(widget(id));
    return b && b->isChecked();
}

void QtWindow::setScrollRange(int id, int min, int max)
{
    if (auto* s = qobject_cast<QScrollBar*>(widget(id))) {
        const QSignalBlocker block(s);
        s->setRange(min, max);
    }
}

void QtWindow::setScrollPos(int id, int position)
{
    if (auto* s = qobject_cast<QScrollBar*>(widget(id))) {
        const QSignalBlocker block(s);
        s->setValue(position);
        s->setSliderPosition(s->value());
    }
}

int QtWindow::scrollPos(int id) const
{
    auto* s = qobject_cast<QScrollBar*>(widget(id));
    return s ? s->value() : 0;
}

void QtWindow::clearList(int id)
{
    if (auto* l = qobject_cast<QListWidget*>(widget(id))) {
        const QSignalBlocker block(l);
        l->clear();
    }
}

int QtWindow::insertListItem(int id, int index, std::string_view text)
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    if (!l)
        return -1;
    const QSignalBlocker block(l);
    if (index < 0 || index > l->count())
        index = l->count();
    l->insertItem(index, qs(text));
    return index;
}

void QtWindow::deleteListItem(int id, int index)
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    if (!l || index < 0 || index >= l->count())
        return;
    const QSignalBlocker block(l);
    delete l->takeItem(index);
}

int QtWindow::listCount(int id) const
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    return l ? l->count() : 0;
}

std::string QtWindow::listItem(int id, int index) const
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    if (!l || index < 0 || index >= l->count())
        return {};
    return l->item(index)->text().toStdString();
}

void QtWindow::setListSelection(int id, int index)
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    if (!l)
        return;
    const QSignalBlocker block(l);
    if (index < 0 || index >= l->count()) {
        l->clearSelection();
        return;
    }
    l->setCurrentRow(index);
}

int QtWindow::listSelection(int id) const
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    if (!l || l->selectedItems().isEmpty())
        return -1;
    return l->row(l->selectedItems().front());
}

int QtWindow::listCaret(int id) const
{
    auto* l = qobject_cast<QListWidget*>(widget(id));
    return l ? std::max(0, l->currentRow()) : 0;
}

void QtWindow::setText(int id, std::string_view text)
{
    QWidget* w = widget(id);
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        const QSignalBlocker block(e);
        e->setText(qs(text));
    } else if (auto* l = qobject_cast<QLabel*>(w)) {
        l->setText(qs(text));
    } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
        b->setText(qs(text));
    }
}

std::string QtWindow::text(int id) const
{
    QWidget* w = widget(id);
    if (auto* e = qobject_cast<QLineEdit*>(w))
        return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w))
        return l->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text().toStdString();
    return {};
}

void QtWindow::enable(int id, bool enabled)
{
    if (QWidget* w = widget(id))
        w->setEnabled(enabled);
}

void QtWindow::setTitle(std::string_view title)
{
    frame()->setWindowTitle(qs(title));
    platform_.log().record("title", quoted(title));
}

void QtWindow::raise()
{
    frame()->raise();
    frame()->activateWindow();
}

void QtWindow::destroy()
{
    if (destroyed_)
        return;
    destroyed_ = true;
    for (auto& [id, t] : timers_)
        t->stop();
    platform_.forgetRigTimers(*this);
    std::erase(platform_.windows_, this);
    frame()->hide();
    frame()->deleteLater(); // with the frame, the window inside it
}

MessageAnswer QtWindow::message(std::string_view text, std::string_view caption, MessageIcon icon, MessageButtons buttons)
{
    platform_.personWaits(true);
    const MessageAnswer answer = askMessage(text, caption, icon, buttons);
    platform_.personWaits(false);
    platform_.log().record("message", messageEventText(name_, caption, icon, text, answer));
    return answer;
}

MessageAnswer QtWindow::askMessage(std::string_view text, std::string_view caption, MessageIcon icon, MessageButtons buttons)
{
    // A question with a way out takes it: nothing changes.
    const MessageAnswer fallback = buttons == MessageButtons::YesNo         ? MessageAnswer::Yes
                                   : buttons == MessageButtons::YesNoCancel ? MessageAnswer::Cancel
                                                                            : MessageAnswer::Ok;
    if (platform_.options().autoAnswer) {
        // With --log the event line says it already.
        if (!platform_.options().logEvents)
            std::fprintf(stderr, "message \"%.*s\": %.*s -> %s\n", static_cast<int>(caption.size()), caption.data(),
                         static_cast<int>(text.size()), text.data(),
                         fallback == MessageAnswer::Yes ? "yes" : fallback == MessageAnswer::Cancel ? "cancel" : "ok");
        return fallback;
    }
    QMessageBox box(this);
    box.setWindowTitle(qs(caption));
    box.setText(qs(text));
    box.setIcon(icon == MessageIcon::Warning ? QMessageBox::Warning
                : icon == MessageIcon::Question ? QMessageBox::Question
                                                : QMessageBox::Information);
    if (buttons == MessageButtons::YesNoCancel) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        const int chosen = box.exec();
        return chosen == QMessageBox::Yes  ? MessageAnswer::Yes
               : chosen == QMessageBox::No ? MessageAnswer::No
                                           : MessageAnswer::Cancel;
    }
    if (buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

void QtWindow::beep(BeepKind)
{
    platform_.log().record("beep", "");
    QApplication::beep();
}

std::optional<std::string> QtWindow::fileDialog(const FileDialogSpec& request)
{
    platform_.personWaits(true);
    std::optional<std::string> path = askFile(request);
    platform_.personWaits(false);
    platform_.log().record("file-dialog", fileDialogEventText(name_, request.save, path));
    return path;
}

std::optional<std::string> QtWindow::askFile(const FileDialogSpec& request)
{
    if (platform_.options().autoAnswer)
        return std::nullopt;
    // The names carry their own pattern ("Target Files (*.trg)"); Qt wants it once, and on a
    // case-sensitive file system the upper-case spelling must match too.
    QString name = qs(request.filterName);
    if (const auto open = name.indexOf(" ("); open >= 0)
        name.truncate(open);
    QString patterns = qs(request.filterPattern);
    if (patterns.toUpper() != patterns)
        patterns += " " + patterns.toUpper();
    QString filter = name + " (" + patterns + ")";
    if (!request.moreFilters.empty())
        filter += ";;" + qs(request.moreFilters);
    if (request.folder) {
        const QString folder = QFileDialog::getExistingDirectory(this, QString(), QString::fromStdString(request.initialPath));
        if (folder.isEmpty())
            return std::nullopt;
        return folder.toStdString();
    }
    const QString path = request.save ? QFileDialog::getSaveFileName(this, QString(), QString::fromStdString(request.initialPath), filter)
                                   : QFileDialog::getOpenFileName(this, QString(), QString::fromStdString(request.initialPath), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

void QtWindow::rigTimerFired(int id)
{
    platform_.log().record("timer", name_ + " " + std::to_string(id) + " fire");
    client_.timer(id);
}

void QtWindow::startTimer(int id, int intervalMs)
{
    if (platform_.options().rigClock) {
        platform_.log().record("timer", name_ + " " + std::to_string(id) + " start " + std::to_string(intervalMs));
        platform_.startRigTimer(*this, id, intervalMs);
        return;
    }
    QTimer*& t = timers_[id];
    if (!t) {
        t = new QTimer(this);
        connect(t, &QTimer::timeout, this, [this, id] {
            platform_.log().record("timer", name_ + " " + std::to_string(id) + " fire");
            client_.timer(id);
        });
    }
    platform_.log().record("timer", name_ + " " + std::to_string(id) + " start " + std::to_string(intervalMs));
    t->start(platform_.scaled(intervalMs));
}

void QtWindow::killTimer(int id)
{
    if (platform_.options().rigClock) {
        if (platform_.killRigTimer(*this, id))
            platform_.log().record("timer", name_ + " " + std::to_string(id) + " kill");
        return;
    }
    auto it = timers_.find(id);
    if (it == timers_.end() || !it->second->isActive())
        return;
    it->second->stop();
    platform_.log().record("timer", name_ + " " + std::to_string(id) + " kill");
}

void QtWindow::setWaitCursor(bool on)
{
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++waitCursorDepth_;
    } else if (waitCursorDepth_ > 0) {
        QApplication::restoreOverrideCursor();
        --waitCursorDepth_;
    }
}

void QtWindow::invalidate()
{
    dirty_ = true;
    update();
}

void QtWindow::refreshSurface()
{
    dirty_ = false;
    canvas_.erase(background_);
    client_.paint(canvas_);
}

void QtWindow::repaintNow()
{
    if (destroyed_)
        return;
    refreshSurface();
    repaint();
}

void QtWindow::showDrawing()
{
    if (destroyed_ || !isVisible())
        return;
    repaint(); // blits the surface at once, even from inside a blocking loop
}

void QtWindow::post(std::function<void()> fn)
{
    QMetaObject::invokeMethod(this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void QtWindow::paintEvent(QPaintEvent*)
{
    if (dirty_ && !destroyed_)
        refreshSurface();
    QPainter p(this);
    p.drawImage(0, 0, image_);
    // Direct drawing lands on the image between paints; keep the widget showing it.
}

void QtWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (!destroyed_)
        client_.closeRequested();
}

void QtWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        client_.rightClick(event->position().toPoint().x(), event->position().toPoint().y());
    QWidget::mousePressEvent(event);
}

} // namespace vantrel
