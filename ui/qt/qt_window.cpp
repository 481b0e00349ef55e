#include "ui/qt/qt_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTextEdit>
#include <QToolTip>
#include <QWindow>
#include <algorithm>

#include "ui/qt/qt_renderer.h"
#include "ui/widgets/edit.h"
#include "ui/widgets/list.h"

namespace q731 {

namespace {

UiPoint ToUi(const QPointF& p) {
    return {int(p.x()), int(p.y())};
}

unsigned Modifiers(Qt::KeyboardModifiers mods) {
    unsigned out = 0;
    if (mods & Qt::ShiftModifier) out |= kModShift;
    if (mods & Qt::ControlModifier) out |= kModControl;
    if (mods & Qt::AltModifier) out |= kModAlt;
    return out;
}

int UiKeyFor(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Backspace:
            return kKeyBack;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return kKeyTab;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kKeyReturn;
        case Qt::Key_Escape:
            return kKeyEscape;
        case Qt::Key_Space:
            return kKeySpace;
        case Qt::Key_PageUp:
            return kKeyPageUp;
        case Qt::Key_PageDown:
            return kKeyPageDown;
        case Qt::Key_End:
            return kKeyEnd;
        case Qt::Key_Home:
            return kKeyHome;
        case Qt::Key_Left:
            return kKeyLeft;
        case Qt::Key_Up:
            return kKeyUp;
        case Qt::Key_Right:
            return kKeyRight;
        case Qt::Key_Down:
            return kKeyDown;
        default:
            return 0;
    }
}

QString Css(UiColor color) {
    return QStringLiteral("rgba(%1,%2,%3,%4)")
        .arg((color >> 16) & 0xFF)
        .arg((color >> 8) & 0xFF)
        .arg(color & 0xFF)
        .arg(((color >> 24) & 0xFF) / 255.0);
}

// Controls that take the press themselves; anywhere else in the caption drags.
bool IsInteractive(CControlUI* control) {
    return control && (control->WantsFocus() || dynamic_cast<CButtonUI*>(control) ||
                       dynamic_cast<CListContainerElementUI*>(control));
}

}  // namespace

QtHostWidget::QtHostWidget(QtWindowBackend& backend, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), backend_(backend) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

bool QtHostWidget::InCaption(QPoint point) const {
    CPaintManagerUI& pm = backend_.Manager();
    UiRect caption = pm.Scale(pm.GetCaptionRect());
    if (caption.bottom <= caption.top) return false;
    bool inside = point.x() >= caption.left && point.x() < width() - caption.right &&
                  point.y() >= caption.top && point.y() < caption.bottom;
    return inside && !IsInteractive(pm.FindControl(UiPoint{point.x(), point.y()}));
}

bool QtHostWidget::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        CControlUI* control =
            backend_.Manager().FindControl(UiPoint{help->pos().x(), help->pos().y()});
        QString title, text;
        if (control) {
            title = QString::fromStdString(control->GetToolTipTitle()).toHtmlEscaped();
            text = QString::fromStdString(control->GetToolTip()).toHtmlEscaped();
        }
        if (title.isEmpty() && text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        text.replace('\n', "<br>");
        QString html =
            title.isEmpty() ? text : "<b>" + title + "</b>" + (text.isEmpty() ? "" : "<br>" + text);
        QToolTip::showText(help->globalPos(), html, this, QtRenderer::ToQRect(control->GetPos()));
        return true;
    }
    return QWidget::event(event);
}

void QtHostWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QtRenderer renderer(painter, QApplication::font().family());
    const QRect& r = event->rect();
    backend_.Manager().Paint(renderer, {r.left(), r.top(), r.right() + 1, r.bottom() + 1});
}

void QtHostWidget::resizeEvent(QResizeEvent*) {
    backend_.Manager().SetClientSize({width(), height()});
    backend_.PlaceOverlay();
    WPARAM state = backend_.IsMaximized() ? 2 : (isMinimized() ? 1 : 0);
    backend_.Window().HandleMessage(kMsgSize, state, LPARAM(width()) | LPARAM(height()) << 16);
}

void QtHostWidget::mousePressEvent(QMouseEvent* event) {
    UiPoint at = ToUi(event->position());
    unsigned mods = Modifiers(event->modifiers());
    if (event->button() == Qt::LeftButton) {
        if (InCaption(event->position().toPoint()) && !backend_.IsMaximized()) {
            if (!(windowHandle() && windowHandle()->startSystemMove())) {
                manualDrag_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
            }
            return;
        }
        backend_.Manager().HandleButtonDown(at, mods);
    } else if (event->button() == Qt::RightButton) {
        backend_.Manager().HandleRightButtonDown(at, mods);
    }
}

void QtHostWidget::mouseReleaseEvent(QMouseEvent* event) {
    UiPoint at = ToUi(event->position());
    unsigned mods = Modifiers(event->modifiers());
    if (event->button() == Qt::LeftButton) {
        if (manualDrag_) {
            manualDrag_.reset();
            return;
        }
        backend_.Manager().HandleButtonUp(at, mods);
    } else if (event->button() == Qt::RightButton) {
        backend_.Manager().HandleRightButtonUp(at, mods);
    }
}

void QtHostWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (InCaption(event->position().toPoint())) {
        // A double click on the caption toggles maximised, as on every desktop.
        if (backend_.IsMaximized()) {
            backend_.Restore();
        } else if (backend_.Manager().FindControl("maxbtn")) {
            backend_.Maximize();
        }
        return;
    }
    backend_.Manager().HandleDoubleClick(ToUi(event->position()), Modifiers(event->modifiers()));
}

void QtHostWidget::mouseMoveEvent(QMouseEvent* event) {
    if (manualDrag_) {
        move(event->globalPosition().toPoint() - *manualDrag_);
        return;
    }
    backend_.Manager().HandleMouseMove(ToUi(event->position()), Modifiers(event->modifiers()));
}

void QtHostWidget::leaveEvent(QEvent*) {
    backend_.Manager().HandleMouseLeave();
}

void QtHostWidget::wheelEvent(QWheelEvent* event) {
    int delta = event->angleDelta().y();
    if (delta == 0) delta = event->angleDelta().x();
    backend_.Manager().HandleWheel(ToUi(event->position()), delta, Modifiers(event->modifiers()));
}

void QtHostWidget::keyPressEvent(QKeyEvent* event) {
    unsigned mods = Modifiers(event->modifiers());
    if (int key = UiKeyFor(event->key())) {
        if (event->key() == Qt::Key_Backtab) mods |= kModShift;
        backend_.Manager().HandleKeyDown(key, mods);
        return;
    }
    const QString text = event->text();
    for (char32_t code : text.toUcs4()) {
        if (code >= 0x20) backend_.Manager().HandleChar(int(code), mods);
    }
}

void QtHostWidget::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange) {
        backend_.Window().HandleMessage(kMsgActivate, isActiveWindow() ? 1 : 0, 0);
    } else if (event->type() == QEvent::WindowStateChange) {
        WPARAM state = isMinimized() ? 1 : (backend_.IsMaximized() ? 2 : 0);
        backend_.Window().HandleMessage(kMsgSize, state, LPARAM(width()) | LPARAM(height()) << 16);
    }
    QWidget::changeEvent(event);
}

void QtHostWidget::closeEvent(QCloseEvent* event) {
    // The window decides (it may refuse or only hide); Qt never closes it alone.
    event->ignore();
    backend_.Window().Close(0);
}

void QtHostWidget::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::PopupFocusReason) backend_.Manager().HandleWindowFocusLost();
    QWidget::focusOutEvent(event);
}

QtWindowBackend::QtWindowBackend(WindowImplBase& window, CWindowWnd* owner, unsigned style,
                                 unsigned exStyle)
    : window_(window) {
    QWidget* parent = nullptr;
    if (owner) {
        if (auto* ownerBackend = dynamic_cast<QtWindowBackend*>(owner->GetBackend())) {
            parent = ownerBackend->Widget();
        }
    }
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (exStyle & kWsExPopupMenu) {
        flags |= Qt::Popup;
    } else if ((exStyle & kWsExToolWindow) || parent) {
        flags |= Qt::Tool;
    } else {
        flags |= Qt::Window;
    }
    if (exStyle & kWsExTopMost) flags |= Qt::WindowStaysOnTopHint;
    if (exStyle & kWsExNoActivate) flags |= Qt::WindowDoesNotAcceptFocus;
    (void)style;
    widget_ = new QtHostWidget(*this, parent, flags);
    widget_->setWindowTitle(QString::fromStdString(window.GetWindowClassName()));
    if (exStyle & kWsExNoActivate) widget_->setAttribute(Qt::WA_ShowWithoutActivating);
}

QtWindowBackend::~QtWindowBackend() {
    Destroy();
}

void QtWindowBackend::InvalidateRect(const UiRect& rect) {
    if (widget_) widget_->update(QtRenderer::ToQRect(rect));
}

void QtWindowBackend::SetCapture(bool) {
    // Qt already sends every move and release to the widget that took the press.
}

void QtWindowBackend::PlaceOverlay() {
    if (!overlayEdit_ || !widget_) return;
    QRect area = QtRenderer::ToQRect(
        overlayEdit_->GetPos().Deflate(Manager().Scale(overlayEdit_->GetTextPadding())));
    if (line_) line_->setGeometry(area);
    if (text_) text_->setGeometry(area);
}

void QtWindowBackend::BeginTextEdit(CEditUI* edit) {
    if (!widget_ || !edit) return;
    CloseOverlay();
    overlayEdit_ = edit;
    QFont font = MakeQFont(Manager().GetScaledFont(edit->GetFont()));
    UiColor textColor = edit->GetTextColor() ? edit->GetTextColor() : 0xFF000000;
    UiColor back = edit->GetBkColor();
    QString style =
        QStringLiteral("background:%1;color:%2;border:none;padding:0;")
            .arg((back >> 24) ? Css(back) : QStringLiteral("transparent"), Css(textColor));
    QWidget* field = nullptr;
    if (edit->IsMultiLine()) {
        text_ = new QTextEdit(widget_);
        text_->setAcceptRichText(false);
        text_->setPlainText(QString::fromStdString(edit->GetText()));
        text_->setPlaceholderText(QString::fromStdString(edit->GetTipValue()));
        text_->setReadOnly(edit->IsReadOnly());
        QObject::connect(text_, &QTextEdit::textChanged, widget_, [this] {
            if (overlayEdit_ && text_) {
                std::string now = text_->toPlainText().toStdString();
                std::string allowed = overlayEdit_->Filter(now);
                overlayEdit_->OnTextEdited(allowed);
                if (allowed != now) {
                    QSignalBlocker block(text_);
                    text_->setPlainText(QString::fromStdString(allowed));
                    text_->moveCursor(QTextCursor::End);
                }
            }
        });
        field = text_;
    } else {
        line_ = new QLineEdit(widget_);
        line_->setFrame(false);
        line_->setText(QString::fromStdString(edit->GetText()));
        line_->setPlaceholderText(QString::fromStdString(edit->GetTipValue()));
        line_->setMaxLength(std::max(0, edit->GetMaxChar()));
        line_->setReadOnly(edit->IsReadOnly());
        if (edit->IsPasswordMode()) line_->setEchoMode(QLineEdit::Password);
        if (edit->IsNumberOnly()) {
            line_->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), line_));
        }
        QObject::connect(line_, &QLineEdit::textEdited, widget_, [this](const QString& now) {
            if (overlayEdit_) overlayEdit_->OnTextEdited(now.toStdString());
        });
        QObject::connect(line_, &QLineEdit::returnPressed, widget_, [this] {
            if (overlayEdit_) overlayEdit_->OnReturn();
        });
        line_->selectAll();
        field = line_;
    }
    field->setFont(font);
    field->setStyleSheet(style);
    PlaceOverlay();
    field->show();
    field->setFocus(Qt::MouseFocusReason);
}

void QtWindowBackend::EndTextEdit(CEditUI* edit) {
    if (edit != overlayEdit_) return;
    CommitOverlay();
    CloseOverlay();
}

void QtWindowBackend::CommitOverlay() {
    if (!overlayEdit_) return;
    if (line_) overlayEdit_->OnTextEdited(line_->text().toStdString());
    if (text_) overlayEdit_->OnTextEdited(text_->toPlainText().toStdString());
}

void QtWindowBackend::CloseOverlay() {
    overlayEdit_ = nullptr;
    if (line_) {
        line_->hide();
        line_->deleteLater();
    }
    if (text_) {
        text_->hide();
        text_->deleteLater();
    }
    if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}

void QtWindowBackend::ShowDropDown(CComboUI* combo) {
    if (!widget_ || !combo) return;
    CloseDropDown();
    dropCombo_ = combo;
    const TListInfoUI& info = combo->GetListInfo();
    drop_ = new QListWidget(widget_);
    drop_->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    drop_->setAttribute(Qt::WA_DeleteOnClose);
    drop_->setFont(
        MakeQFont(Manager().GetScaledFont(info.font >= 0 ? info.font : combo->GetFont())));
    drop_->setStyleSheet(QStringLiteral("QListWidget{background:%1;color:%2;border:1px solid %3;"
                                        "outline:none}QListWidget::item{padding-left:%4px}"
                                        "QListWidget::item:hover{background:%5}"
                                        "QListWidget::item:selected{background:%6;color:%2}")
                             .arg(Css(info.bkColor ? info.bkColor : 0xFFFFFFFF),
                                  Css(info.textColor), Css(0xFFB0B8C0))
                             .arg(Manager().Scale(info.textPadding.left))
                             .arg(Css(info.hotBkColor ? info.hotBkColor : 0xFFEEF3F9),
                                  Css(info.selectedBkColor ? info.selectedBkColor : 0xFFD8E6F5)));
    int rowHeight = Manager().Scale(info.itemHeight);
    int rows = 0;
    for (int i = 0; i < combo->GetCount(); ++i) {
        CControlUI* item = combo->GetItemAt(i);
        if (!item->IsVisible()) continue;
        auto* row = new QListWidgetItem(QString::fromStdString(item->GetText()), drop_);
        row->setData(Qt::UserRole, i);
        row->setSizeHint(QSize(0, rowHeight));
        if (!item->IsEnabled()) row->setFlags(Qt::NoItemFlags);
        if (i == combo->GetCurSel()) drop_->setCurrentItem(row);
        ++rows;
    }
    UiSize box = combo->GetDropBoxSize();
    int width = box.cx > 0 ? Manager().Scale(box.cx) : combo->GetPos().Width();
    int height =
        std::min(rows * rowHeight + 2, box.cy > 0 ? Manager().Scale(box.cy) : rows * rowHeight + 2);
    QPoint below = widget_->mapToGlobal(QPoint(combo->GetPos().left, combo->GetPos().bottom));
    drop_->setGeometry(QRect(below, QSize(width, std::max(height, rowHeight))));
    auto choose = [this](QListWidgetItem* row) {
        CComboUI* target = dropCombo_;
        int index = row ? row->data(Qt::UserRole).toInt() : -1;
        CloseDropDown();
        if (target && index >= 0) target->SelectItem(index, true, true);
    };
    QObject::connect(drop_, &QListWidget::itemClicked, widget_, choose);
    QObject::connect(drop_, &QListWidget::itemActivated, widget_, choose);
    QObject::connect(drop_, &QObject::destroyed, widget_, [this] {
        if (dropCombo_) dropCombo_->SetDroppedDown(false);
        dropCombo_ = nullptr;
    });
    combo->SetDroppedDown(true);
    drop_->show();
    drop_->setFocus();
}

void QtWindowBackend::CloseDropDown() {
    if (drop_) drop_->close();  // deletes itself (WA_DeleteOnClose)
}

void QtWindowBackend::ResetScaledAssets() {
    QtImageCache::Instance().DropScaled();
}

std::optional<UiSize> QtWindowBackend::ImageSize(const std::string& path) {
    return QtImageCache::Instance().NaturalSize(QString::fromStdString(path));
}

void QtWindowBackend::ForgetControl(CControlUI* control) {
    if (overlayEdit_ && static_cast<CControlUI*>(overlayEdit_) == control) CloseOverlay();
    if (dropCombo_ && static_cast<CControlUI*>(dropCombo_) == control) {
        dropCombo_ = nullptr;
        CloseDropDown();
    }
}

void QtWindowBackend::Show(bool show, bool activate) {
    if (!widget_) return;
    if (!show) {
        widget_->hide();
        return;
    }
    widget_->show();
    if (activate) {
        widget_->raise();
        widget_->activateWindow();
    }
}

bool QtWindowBackend::IsVisible() const {
    return widget_ && widget_->isVisible();
}

void QtWindowBackend::Destroy() {
    if (!widget_) return;
    dropCombo_ = nullptr;
    CloseDropDown();
    overlayEdit_ = nullptr;
    QWidget* widget = widget_;
    widget_ = nullptr;
    widget->hide();
    delete widget;
}

void QtWindowBackend::SetWindowRect(const UiRect& rect) {
    if (!widget_) return;
    widget_->setGeometry(rect.left, rect.top, std::max(1, rect.Width()),
                         std::max(1, rect.Height()));
    Manager().SetClientSize({widget_->width(), widget_->height()});
}

UiRect QtWindowBackend::GetWindowRect() const {
    if (!widget_) return {};
    QRect g = widget_->geometry();
    return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void QtWindowBackend::Minimize() {
    if (widget_) widget_->showMinimized();
}

void QtWindowBackend::Maximize() {
    if (!widget_ || maximized_) return;
    // Maximised by hand: a frameless window cannot rely on the window manager.
    restoreGeometry_ = widget_->geometry();
    QScreen* screen = widget_->screen() ? widget_->screen() : QGuiApplication::primaryScreen();
    maximized_ = true;
    if (screen) widget_->setGeometry(screen->availableGeometry());
}

void QtWindowBackend::Restore() {
    if (!widget_) return;
    if (widget_->isMinimized()) widget_->showNormal();
    if (!maximized_) return;
    maximized_ = false;
    widget_->setGeometry(restoreGeometry_);
}

bool QtWindowBackend::IsMinimized() const {
    return widget_ && widget_->isMinimized();
}

void QtWindowBackend::RunModalLoop(const std::function<bool()>& done) {
    if (!widget_) return;
    // Modality only takes effect when set on a hidden window.
    widget_->hide();
    widget_->setWindowModality(Qt::ApplicationModal);
    widget_->show();
    while (!done() && widget_ && !QCoreApplication::closingDown()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

void QtWindowBackend::SetTitle(const std::string& title) {
    if (widget_) widget_->setWindowTitle(QString::fromStdString(title));
}

void QtWindowBackend::SetIconFile(const std::string& path) {
    if (widget_) widget_->setWindowIcon(QIcon(QString::fromStdString(path)));
}

}  // namespace q731
