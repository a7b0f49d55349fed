// Control panels over Qt widgets: building from a description, values by id,
// notifications, prompts and owner drawing.

#include "platform/controls.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/app.h"
#include "platform/controls_qt.h"
#include "platform/dialog.h"
#include "platform/draw_qt.h"
#include "platform/window_qt.h"

namespace platform {

namespace {

int ctl_dispatchDepth = 0;

// Item data roles: the program's data and the tree handle.
constexpr int kCtlDataRole = Qt::UserRole + 1;
constexpr int kCtlHandleRole = Qt::UserRole + 2;

std::string ctl_ToStd(const QString& s) { return s.toStdString(); }

bool ctl_IsButtonKind(ControlKind k) {
    return k == ControlKind::Button || k == ControlKind::DefaultButton || k == ControlKind::CheckBox ||
           k == ControlKind::RadioButton || k == ControlKind::OwnerButton || k == ControlKind::ColorSwatch;
}

// Strict signed decimal with optional blanks around it.
bool ctl_ParseInt(const std::string& text, int* out) {
    const char* p = text.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0') return false;
    errno = 0;
    char* end = nullptr;
    long v = std::strtol(p, &end, 10);
    if (end == p || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0' || v < INT_MIN || v > INT_MAX) return false;
    *out = static_cast<int>(v);
    return true;
}

// Push button drawn by the panel's OnDrawItem.
class CtlOwnerButton : public QPushButton {
public:
    CtlOwnerButton(ControlPanel::Impl* panel, int id, QWidget* parent) : QPushButton(parent), panel_(panel), id_(id) {}

protected:
    void paintEvent(QPaintEvent*) override {
        PaintScope painting;
        QPainter painter(this);
        auto surface = CreateWidgetSurface(painter, *this);
        DrawItemInfo info;
        info.id = id_;
        info.rect = Rect{0, 0, width(), height()};
        info.focused = hasFocus();
        info.disabled = !isEnabled();
        info.pressed = isDown();
        info.surface = surface.get();
        CtlDispatchScope scope;
        panel_->self->OnDrawItem(info);
    }

private:
    ControlPanel::Impl* panel_;
    int id_;
};

// Push button with a colour field inside its bevel.
class CtlSwatch : public QPushButton {
public:
    explicit CtlSwatch(QWidget* parent) : QPushButton(parent) {}
    void SetColor(Color c) {
        color_ = c;
        update();
    }
    Color GetColor() const { return color_; }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPushButton::paintEvent(e);
        QPainter painter(this);
        QRect r = rect().adjusted(5, 5, -5, -5);
        if (r.width() <= 0 || r.height() <= 0) return;
        painter.fillRect(r, isEnabled() ? ToQColor(color_) : palette().color(QPalette::Button));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }

private:
    Color color_ = 0;
};

// Up/down arrows stepping a number in a buddy edit.
class CtlSpin : public QWidget {
public:
    explicit CtlSpin(QWidget* parent) : QWidget(parent) {
        up_ = new QToolButton(this);
        down_ = new QToolButton(this);
        up_->setArrowType(Qt::UpArrow);
        down_->setArrowType(Qt::DownArrow);
        up_->setAutoRepeat(true);
        down_->setAutoRepeat(true);
        up_->setFocusPolicy(Qt::NoFocus);
        down_->setFocusPolicy(Qt::NoFocus);
    }
    QToolButton* Up() const { return up_; }
    QToolButton* Down() const { return down_; }

protected:
    void resizeEvent(QResizeEvent*) override {
        int h = height() / 2;
        up_->setGeometry(0, 0, width(), h);
        down_->setGeometry(0, h, width(), height() - h);
    }

private:
    QToolButton* up_;
    QToolButton* down_;
};

// Combo box that tells its panel before its list opens and, when owner-drawn,
// lets the panel paint the current item.
class CtlCombo : public QComboBox {
public:
    CtlCombo(ControlPanel::Impl* panel, int id, bool ownerDraw, QWidget* parent)
        : QComboBox(parent), panel_(panel), id_(id), ownerDraw_(ownerDraw) {}

    void showPopup() override {
        panel_->Notify(id_, Notify::DropDown);
        QComboBox::showPopup();
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        if (!ownerDraw_ || isEditable()) {
            QComboBox::paintEvent(e);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionComboBox opt;
        initStyleOption(&opt);
        opt.currentText.clear();
        opt.currentIcon = QIcon();
        painter.drawComplexControl(QStyle::CC_ComboBox, opt);
        QRect field = style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, this);
        PaintScope painting;
        painter.save();
        painter.setClipRect(field);
        auto surface = CreateWidgetSurface(painter, *this);
        DrawItemInfo info;
        info.id = id_;
        info.item = currentIndex();
        info.rect = Rect{field.left(), field.top(), field.right() + 1, field.bottom() + 1};
        info.focused = hasFocus();
        info.disabled = !isEnabled();
        info.surface = surface.get();
        {
            CtlDispatchScope scope;
            panel_->self->OnDrawItem(info);
        }
        surface.reset();
        painter.restore();
    }

private:
    ControlPanel::Impl* panel_;
    int id_;
    bool ownerDraw_;
};

// Items of owner-drawn lists and combo lists.
class CtlItemDelegate : public QStyledItemDelegate {
public:
    CtlItemDelegate(ControlPanel::Impl* panel, int id, QObject* parent)
        : QStyledItemDelegate(parent), panel_(panel), id_(id) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QWidget* view = const_cast<QWidget*>(option.widget);
        if (!view) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        PaintScope painting;
        painter->save();
        auto surface = CreateWidgetSurface(*painter, *view);
        DrawItemInfo info;
        info.id = id_;
        info.item = index.row();
        const QRect& r = option.rect;
        info.rect = Rect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
        info.selected = (option.state & QStyle::State_Selected) != 0;
        info.focused = (option.state & QStyle::State_HasFocus) != 0;
        info.disabled = (option.state & QStyle::State_Enabled) == 0;
        info.surface = surface.get();
        {
            CtlDispatchScope scope;
            panel_->self->OnDrawItem(info);
        }
        surface.reset();
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize s = QStyledItemDelegate::sizeHint(option, index);
        if (CtlRecord* rec = panel_->Find(id_)) {
            if (rec->itemHeight > 0) s.setHeight(rec->itemHeight);
        }
        return s;
    }

private:
    ControlPanel::Impl* panel_;
    int id_;
};

// Focus, pointer and key events of every control (and of their inner widgets).
class CtlEventFilter : public QObject {
public:
    explicit CtlEventFilter(ControlPanel::Impl* panel) : QObject(nullptr), panel_(panel) {}
    // The panel is gone while its widgets wait for deletion: ignore them.
    void Detach() { panel_ = nullptr; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!panel_) return false;
        switch (event->type()) {
        case QEvent::FocusIn: {
            CtlRecord* r = panel_->FindByWidget(watched);
            if (r && r->desc.id != panel_->focusedId) {
                panel_->focusedId = r->desc.id;
                panel_->Prompt(r->desc.id);
                panel_->Notify(r->desc.id, Notify::FocusIn);
            }
            break;
        }
        case QEvent::FocusOut: {
            auto* fe = static_cast<QFocusEvent*>(event);
            CtlRecord* r = panel_->FindByWidget(watched);
            // Lists popping up and the window losing activation keep the
            // control's focus within the dialog.
            if (!r || fe->reason() == Qt::PopupFocusReason || fe->reason() == Qt::ActiveWindowFocusReason) break;
            QWidget* now = QApplication::focusWidget();
            if (now && panel_->FindByWidget(now) == r) break;  // still inside the same control
            if (panel_->focusedId == r->desc.id) {
                panel_->focusedId = 0;
                panel_->Notify(r->desc.id, Notify::FocusOut);
            }
            break;
        }
        case QEvent::Enter: {
            CtlRecord* r = panel_->FindByWidget(watched);
            if (r) panel_->Prompt(r->desc.id);
            break;
        }
        case QEvent::MouseMove: {
            // Moves over the panel itself (and over disabled controls, whose
            // moves reach the panel).
            if (watched == panel_->panel.data()) {
                auto* me = static_cast<QMouseEvent*>(event);
                QWidget* child = panel_->panel->childAt(me->position().toPoint());
                CtlRecord* r = child ? panel_->FindByWidget(child) : nullptr;
                panel_->Prompt(r ? r->desc.id : 0);
            }
            break;
        }
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(event);
            if (me->button() != Qt::RightButton) break;
            CtlRecord* r = panel_->FindByWidget(watched);
            // The press arrives at the viewport and, ignored there, again at the control.
            if (!r || r->desc.kind != ControlKind::RichEdit || !r->widget->isEnabled() ||
                watched != static_cast<QTextEdit*>(r->widget)->viewport())
                break;
            r->widget->setFocus(Qt::MouseFocusReason);
            if (ControlHook* hook = r->hook) {
                const QPoint at = me->globalPosition().toPoint();
                CtlDispatchScope scope;
                hook->OnHookRightButton(Point{at.x(), at.y()});
            }
            break;
        }
        case QEvent::KeyPress: {
            // Enter and Esc belong to the dialog (other keys reach it when the
            // control leaves them). Keys of a combo's open list stay there.
            auto* ke = static_cast<QKeyEvent*>(event);
            int key = KeyCodeFromQt(ke->key(), ke->modifiers());
            if (key == key::Up || key == key::Down || key == key::PageUp || key == key::PageDown) {
                // A one-line rich edit has no lines to move between: the panel may use them.
                CtlRecord* r = panel_->FindByWidget(watched);
                if (r && r->desc.kind == ControlKind::RichEdit && !(r->desc.styles & style::MultiLine) &&
                    panel_->keyHandler && panel_->keyHandler(key, ModifiersFromQt(ke->modifiers()))) {
                    event->accept();
                    return true;
                }
                break;
            }
            if (key != key::Enter && key != key::Escape) break;
            CtlRecord* r = panel_->FindByWidget(watched);
            auto* ww = qobject_cast<QWidget*>(watched);
            const bool wantsReturn =
                (r && (r->desc.kind == ControlKind::Edit || r->desc.kind == ControlKind::RichEdit) &&
                 (r->desc.styles & style::MultiLine) && (r->desc.styles & style::WantReturn));
            if (key == key::Enter && wantsReturn) break;
            // A rich edit takes no line breaks from Enter unless it asks for them.
            const bool swallow = key == key::Enter && r && r->desc.kind == ControlKind::RichEdit;
            if (!r || !panel_->keyHandler || !ww || !panel_->panel || ww->window() != panel_->panel->window()) {
                if (swallow) return true;
                break;
            }
            if (panel_->keyHandler(key, ModifiersFromQt(ke->modifiers())) || swallow) {
                event->accept();
                return true;
            }
            break;
        }
        default: break;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ControlPanel::Impl* panel_;
};

// A combo box's height in a description (and in a move) reaches down over the
// list it drops, the way dialog templates have always given it; the box itself
// is one line of its font high, so that it shows its value and covers nothing.
QRect ctl_Fit(ControlKind kind, const QWidget* w, QRect g) {
    if (kind == ControlKind::ComboBox) g.setHeight(w->sizeHint().height());
    return g;
}

QIcon ctl_StandardIcon(StandardIcon icon) {
    QStyle* st = QApplication::style();
    switch (icon) {
    case StandardIcon::Error: return st->standardIcon(QStyle::SP_MessageBoxCritical);
    case StandardIcon::Warning: return st->standardIcon(QStyle::SP_MessageBoxWarning);
    case StandardIcon::Question: return st->standardIcon(QStyle::SP_MessageBoxQuestion);
    case StandardIcon::Application: {
        QIcon app = QApplication::windowIcon();
        if (!app.isNull()) return app;
        return st->standardIcon(QStyle::SP_DesktopIcon);
    }
    case StandardIcon::Information: return st->standardIcon(QStyle::SP_MessageBoxInformation);
    case StandardIcon::None: break;
    }
    return QIcon();
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared helpers

CtlDispatchScope::CtlDispatchScope() { ++ctl_dispatchDepth; }
CtlDispatchScope::~CtlDispatchScope() { --ctl_dispatchDepth; }
bool CtlDispatchScope::Active() { return ctl_dispatchDepth > 0; }

void CtlDeleteWidget(QWidget* widget) {
    if (!widget) return;
    if (CtlDispatchScope::Active()) {
        widget->hide();
        widget->deleteLater();
    } else {
        delete widget;
    }
}

// ---------------------------------------------------------------------------
// ControlPanel::Impl

ControlPanel::Impl::~Impl() { Destroy(); }

void ControlPanel::Impl::Destroy() {
    QObject::disconnect(panelGone);
    if (panel) {
        // Controls die with the panel; drop their records first so that events
        // sent while Qt tears them down find nothing.
        QWidget* p = panel.data();
        panel = nullptr;
        DetachHooks();
        records.clear();
        CtlDeleteWidget(p);
    }
    DetachHooks();
    records.clear();
    if (filter) {
        static_cast<CtlEventFilter*>(filter)->Detach();
        if (CtlDispatchScope::Active())
            filter->deleteLater();
        else
            delete filter;
    }
    filter = nullptr;
    focusedId = 0;
    hoverId = -1;
}

void ControlPanel::Impl::ComputeBaseUnits() {
    QFontMetrics fm(font);
    int width = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseX = std::max(1, (width / 26 + 1) / 2);
    baseY = std::max(1, fm.height());
}

CtlRecord* ControlPanel::Impl::Find(int id) const {
    if (id == 0 || id == -1) return nullptr;
    for (const auto& r : records)
        if (r->desc.id == id) return r.get();
    return nullptr;
}

CtlRecord* ControlPanel::Impl::FindByWidget(const QObject* object) const {
    for (const QObject* o = object; o && o != panel.data(); o = o->parent()) {
        for (const auto& r : records)
            if (r->widget == o) return r.get();
    }
    return nullptr;
}

void ControlPanel::Impl::Notify(int id, platform::Notify what) {
    if (quiet > 0 || id == 0) return;
    CtlDispatchScope scope;
    self->OnControl(id, what);
}

void ControlPanel::Impl::DetachHook(CtlRecord& r) {
    if (!r.hook) return;
    r.hook->panel_ = nullptr;
    r.hook->id_ = 0;
    r.hook = nullptr;
}

void ControlPanel::Impl::DetachHooks() {
    for (auto& r : records) DetachHook(*r);
}

void ControlPanel::Impl::TextChanged(CtlRecord& r) {
    if (r.desc.kind == ControlKind::RichEdit) {
        // Format changes come through the same signal.
        const QString now = static_cast<QTextEdit*>(r.widget)->toPlainText();
        if (now == r.plainText) return;
        r.plainText = now;
    }
    const int id = r.desc.id;
    if (ControlHook* hook = r.hook) {
        CtlDispatchScope scope;
        hook->OnHookTextChanged();
    }
    // The hook may have removed the control.
    if (Find(id)) Notify(id, Notify::TextChanged);
}

void ControlPanel::Impl::Prompt(int id) {
    if (id == hoverId) return;
    hoverId = id;
    CtlDispatchScope scope;
    self->OnPrompt(id);
}

void ControlPanel::Impl::Clicked(CtlRecord& r) {
    if (quiet > 0) return;
    if (r.desc.kind == ControlKind::RadioButton) {
        // Radio buttons of a group tick each other off, and a click on a ticked
        // one leaves it ticked.
        ++quiet;
        auto it = std::find_if(records.begin(), records.end(), [&](const auto& p) { return p.get() == &r; });
        size_t index = static_cast<size_t>(it - records.begin());
        size_t first = index;
        while (first > 0 && !(records[first]->desc.styles & style::Group)) --first;
        size_t last = index + 1;
        while (last < records.size() && !(records[last]->desc.styles & style::Group)) ++last;
        for (size_t i = first; i < last; ++i) {
            CtlRecord& other = *records[i];
            if (other.desc.kind != ControlKind::RadioButton) continue;
            static_cast<QRadioButton*>(other.widget)->setChecked(&other == &r);
        }
        --quiet;
    }
    CtlDispatchScope scope;
    self->OnButtonClicked(r.desc.id);
}

CtlRecord* ControlPanel::Impl::CreateControl(const ControlDesc& d, const QRect& px) {
    if (!panel) return nullptr;
    if (d.id != 0 && d.id != -1 && Find(d.id)) return nullptr;  // ids are unique within a panel
    auto rec = std::make_unique<CtlRecord>();
    rec->desc = d;
    CtlRecord* r = rec.get();
    QWidget* parent = panel.data();
    const QString text = ToQString(d.text);
    const uint32_t s = d.styles;
    QWidget* w = nullptr;

    switch (d.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setWordWrap(!(s & style::NoWrap));
        Qt::Alignment a = Qt::AlignTop | Qt::AlignLeft;
        if (s & style::Center) a = Qt::AlignTop | Qt::AlignHCenter;
        if (s & style::Right) a = Qt::AlignTop | Qt::AlignRight;
        label->setAlignment(a);
        if (s & style::Border) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        w = label;
        break;
    }
    case ControlKind::GroupBox: {
        auto* box = new QGroupBox(text, parent);
        box->setFocusPolicy(Qt::NoFocus);
        w = box;
        break;
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
        auto* b = new QPushButton(text, parent);
        b->setAutoDefault(false);
        if (d.kind == ControlKind::DefaultButton) {
            b->setDefault(true);
            defaultButton = d.id;
        }
        w = b;
        break;
    }
    case ControlKind::OwnerButton: w = new CtlOwnerButton(this, d.id, parent); break;
    case ControlKind::ColorSwatch: w = new CtlSwatch(parent); break;
    case ControlKind::CheckBox: w = new QCheckBox(text, parent); break;
    case ControlKind::RadioButton: {
        auto* b = new QRadioButton(text, parent);
        b->setAutoExclusive(false);
        w = b;
        break;
    }
    case ControlKind::Edit:
        if (s & style::MultiLine) {
            auto* e = new QPlainTextEdit(parent);
            e->setPlainText(text);
            e->setReadOnly(s & style::ReadOnly);
            e->setLineWrapMode((s & style::NoWrap) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            e->setTabChangesFocus(true);
            QObject::connect(e, &QPlainTextEdit::textChanged, e, [this, r] { TextChanged(*r); });
            w = e;
        } else {
            auto* e = new QLineEdit(text, parent);
            e->setReadOnly(s & style::ReadOnly);
            if (s & style::Password) e->setEchoMode(QLineEdit::Password);
            if (s & style::Number)
                e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), e));
            e->setCursorPosition(0);
            QObject::connect(e, &QLineEdit::textChanged, e, [this, r] { TextChanged(*r); });
            w = e;
        }
        break;
    case ControlKind::ListBox: {
        auto* l = new QListWidget(parent);
        l->setSelectionMode((s & style::MultiSelect) ? QAbstractItemView::ExtendedSelection
                                                     : QAbstractItemView::SingleSelection);
        l->setUniformItemSizes(true);
        if (s & style::OwnerDraw) l->setItemDelegate(new CtlItemDelegate(this, d.id, l));
        QObject::connect(l, &QListWidget::itemSelectionChanged, l,
                         [this, r] { Notify(r->desc.id, Notify::SelChanged); });
        QObject::connect(l, &QListWidget::itemDoubleClicked, l,
                         [this, r](QListWidgetItem*) { Notify(r->desc.id, Notify::DoubleClicked); });
        QObject::connect(l, &QListWidget::itemChanged, l, [this, r](QListWidgetItem* item) {
            // Only the check state of check-list items is changed by the user.
            if (!(r->desc.styles & style::CheckList)) return;
            auto* list = static_cast<QListWidget*>(r->widget);
            if (quiet == 0) {
                ++quiet;
                list->setCurrentItem(item);
                --quiet;
            }
            Notify(r->desc.id, Notify::CheckChanged);
        });
        w = l;
        break;
    }
    case ControlKind::ComboBox: {
        auto* c = new CtlCombo(this, d.id, (s & style::OwnerDraw) != 0, parent);
        if (s & style::Editable) {
            c->setEditable(true);
            c->setInsertPolicy(QComboBox::NoInsert);
            c->setCompleter(nullptr);
            QObject::connect(c, &QComboBox::editTextChanged, c, [this, r] { Notify(r->desc.id, Notify::TextChanged); });
        }
        if (s & style::OwnerDraw) c->setItemDelegate(new CtlItemDelegate(this, d.id, c));
        c->setMaxVisibleItems(30);
        QObject::connect(c, &QComboBox::currentIndexChanged, c, [this, r] { Notify(r->desc.id, Notify::SelChanged); });
        w = c;
        break;
    }
    case ControlKind::Spin: {
        auto* sp = new CtlSpin(parent);
        sp->setFocusPolicy(Qt::NoFocus);
        auto step = [this, r](int direction) {
            int towards = r->high >= r->low ? direction : -direction;
            int lo = std::min(r->low, r->high), hi = std::max(r->low, r->high);
            int pos = std::clamp(self->GetPos(r->desc.id) + towards, lo, hi);
            r->pos = pos;
            if (CtlRecord* b = Find(r->buddy)) {
                if (auto* e = qobject_cast<QLineEdit*>(b->widget)) e->setText(QString::number(pos));
            }
            Notify(r->desc.id, Notify::SelChanged);
        };
        QObject::connect(sp->Up(), &QToolButton::clicked, sp, [step] { step(+1); });
        QObject::connect(sp->Down(), &QToolButton::clicked, sp, [step] { step(-1); });
        if (s & style::AutoBuddy) {
            for (auto it = records.rbegin(); it != records.rend(); ++it) {
                if ((*it)->desc.kind == ControlKind::Edit) r->buddy = (*it)->desc.id;
                break;
            }
        }
        w = sp;
        break;
    }
    case ControlKind::Tab: {
        auto* t = new QTabBar(parent);
        t->setExpanding(false);
        t->setDrawBase(true);
        QObject::connect(t, &QTabBar::currentChanged, t, [this, r] { Notify(r->desc.id, Notify::SelChanged); });
        w = t;
        break;
    }
    case ControlKind::Tree:
    case ControlKind::ListView: {
        auto* t = new QTreeWidget(parent);
        if (d.kind == ControlKind::Tree) {
            t->setHeaderHidden(true);
            t->setColumnCount(1);
        } else {
            t->setRootIsDecorated(false);
            t->setItemsExpandable(false);
            t->setColumnCount(0);
            t->setAllColumnsShowFocus(true);
            t->header()->setStretchLastSection(false);
            t->setSelectionMode((s & style::MultiSelect) ? QAbstractItemView::ExtendedSelection
                                                         : QAbstractItemView::SingleSelection);
        }
        t->setUniformRowHeights(true);
        QObject::connect(t, &QTreeWidget::itemSelectionChanged, t,
                         [this, r] { Notify(r->desc.id, Notify::SelChanged); });
        QObject::connect(t, &QTreeWidget::itemDoubleClicked, t,
                         [this, r](QTreeWidgetItem*, int) { Notify(r->desc.id, Notify::DoubleClicked); });
        w = t;
        break;
    }
    case ControlKind::ScrollBar: {
        auto* sb = new QScrollBar((s & style::Vertical) ? Qt::Vertical : Qt::Horizontal, parent);
        sb->setRange(0, 100);
        QObject::connect(sb, &QScrollBar::valueChanged, sb, [this, r] { Notify(r->desc.id, Notify::SelChanged); });
        w = sb;
        break;
    }
    case ControlKind::Progress: {
        auto* p = new QProgressBar(parent);
        p->setRange(0, 100);
        p->setValue(0);
        p->setTextVisible(false);
        w = p;
        break;
    }
    case ControlKind::RichText: {
        auto* e = new QTextEdit(parent);
        e->setReadOnly(true);
        e->setAcceptRichText(false);
        e->setPlainText(text);
        w = e;
        break;
    }
    case ControlKind::RichEdit: {
        auto* e = new QTextEdit(parent);
        e->setAcceptRichText(false);
        e->setTabChangesFocus(true);
        // The program offers its own menus on the right button.
        e->setContextMenuPolicy(Qt::NoContextMenu);
        e->setLineWrapMode((s & style::NoWrap) ? QTextEdit::NoWrap : QTextEdit::WidgetWidth);
        e->setReadOnly(s & style::ReadOnly);
        if (!(s & style::MultiLine)) {
            // One line in a field as high as an edit's.
            e->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            e->document()->setDocumentMargin(1);
        }
        e->setPlainText(text);
        r->plainText = e->toPlainText();
        QObject::connect(e, &QTextEdit::textChanged, e, [this, r] { TextChanged(*r); });
        w = e;
        break;
    }
    case ControlKind::Icon: {
        auto* label = new QLabel(parent);
        label->setAlignment(Qt::AlignCenter);
        if (s & style::Border) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        w = label;
        break;
    }
    }

    if (ctl_IsButtonKind(d.kind)) {
        auto* b = static_cast<QAbstractButton*>(w);
        QObject::connect(b, &QAbstractButton::clicked, b, [this, r] { Clicked(*r); });
        if (d.kind == ControlKind::ColorSwatch || d.kind == ControlKind::OwnerButton) b->setText(QString());
    }
    if (s & style::NoTabStop) {
        if (w->focusPolicy() != Qt::NoFocus) w->setFocusPolicy(Qt::ClickFocus);
    }
    QSize natural = w->sizeHint();
    QRect g = px;
    if (g.width() <= 0) g.setWidth(natural.width());
    if (g.height() <= 0) g.setHeight(natural.height());
    w->setGeometry(ctl_Fit(d.kind, w, g));
    if (s & style::Disabled) w->setEnabled(false);
    w->setVisible(!(s & style::Hidden));
    if (d.kind == ControlKind::GroupBox) w->lower();

    // Focus, pointer and keys of the control and of everything inside it.
    w->installEventFilter(filter);
    for (QWidget* inner : w->findChildren<QWidget*>()) inner->installEventFilter(filter);
    r->widget = w;
    records.push_back(std::move(rec));
    return r;
}

QWidget* ControlPanel::Impl::Build(QWidget* parent) {
    Destroy();
    QFont f = QApplication::font();
    if (!desc.fontFace.empty()) f.setFamily(ToQString(desc.fontFace));
    if (desc.fontPoints > 0) f.setPointSize(desc.fontPoints);
    font = f;
    ComputeBaseUnits();

    filter = new CtlEventFilter(this);
    auto* p = new QWidget(parent);
    p->setFont(font);
    p->setMouseTracking(true);
    p->installEventFilter(filter);
    panel = p;
    // Controls deleted with a window destroyed elsewhere must not be reached.
    panelGone = QObject::connect(p, &QObject::destroyed, filter, [this] {
        DetachHooks();
        records.clear();
        focusedId = 0;
    });
    const Rect size = self->MapDialogRect(Rect{0, 0, desc.cx, desc.cy});
    p->resize(size.right, size.bottom);
    defaultButton = 0;
    ++quiet;
    // A static's mnemonic moves the focus to the next control that takes it.
    QLabel* pendingMnemonic = nullptr;
    for (const ControlDesc& d : desc.controls) {
        Rect px = self->MapDialogRect(Rect{d.x, d.y, d.x + d.cx, d.y + d.cy});
        CtlRecord* r = CreateControl(d, QRect(px.left, px.top, d.cx > 0 ? px.Width() : 0, d.cy > 0 ? px.Height() : 0));
        if (!r) continue;
        if (pendingMnemonic && r->widget->focusPolicy() != Qt::NoFocus && r->desc.kind != ControlKind::Static &&
            r->desc.kind != ControlKind::GroupBox) {
            pendingMnemonic->setBuddy(r->widget);
            pendingMnemonic = nullptr;
        }
        if (d.kind == ControlKind::Static && !(d.styles & style::NoPrefix) && d.text.find('&') != std::string::npos)
            pendingMnemonic = static_cast<QLabel*>(r->widget);
    }
    --quiet;
    p->show();
    return p;
}

// ---------------------------------------------------------------------------
// ControlPanel

ControlPanel::ControlPanel() : impl_(std::make_unique<Impl>(this)) {}
ControlPanel::ControlPanel(DialogDesc desc) : impl_(std::make_unique<Impl>(this)) { impl_->desc = std::move(desc); }
ControlPanel::~ControlPanel() = default;

void ControlPanel::SetDescription(DialogDesc desc) { impl_->desc = std::move(desc); }
const DialogDesc& ControlPanel::Description() const { return impl_->desc; }
bool ControlPanel::IsBuilt() const { return impl_->panel != nullptr; }

bool ControlPanel::AddControl(const ControlDesc& d) {
    Rect px = MapDialogRect(Rect{d.x, d.y, d.x + d.cx, d.y + d.cy});
    return AddControlPixels(d, Rect{px.left, px.top, d.cx > 0 ? px.right : px.left, d.cy > 0 ? px.bottom : px.top});
}

bool ControlPanel::AddControlPixels(const ControlDesc& d, const Rect& px) {
    if (!impl_->panel) return false;
    ++impl_->quiet;
    CtlRecord* r = impl_->CreateControl(d, QRect(px.left, px.top, px.Width(), px.Height()));
    --impl_->quiet;
    return r != nullptr;
}

bool ControlPanel::RemoveControl(int id) {
    auto& recs = impl_->records;
    for (auto it = recs.begin(); it != recs.end(); ++it) {
        if ((*it)->desc.id != id) continue;
        QWidget* w = (*it)->widget;
        if (impl_->defaultButton == id) impl_->defaultButton = 0;
        if (impl_->focusedId == id) impl_->focusedId = 0;
        for (auto& other : recs)
            if (other->buddy == id) other->buddy = 0;
        impl_->DetachHook(**it);
        recs.erase(it);
        CtlDeleteWidget(w);
        return true;
    }
    return false;
}

bool ControlPanel::HasControl(int id) const { return impl_->Find(id) != nullptr; }
ControlKind ControlPanel::KindOf(int id) const {
    CtlRecord* r = impl_->Find(id);
    return r ? r->desc.kind : ControlKind::Static;
}
uint32_t ControlPanel::StylesOf(int id) const {
    CtlRecord* r = impl_->Find(id);
    return r ? r->desc.styles : 0;
}
std::vector<int> ControlPanel::ControlIds() const {
    std::vector<int> ids;
    for (const auto& r : impl_->records)
        if (r->desc.id != 0 && r->desc.id != -1) ids.push_back(r->desc.id);
    return ids;
}

// --- Geometry

int ControlPanel::DialogUnitsToPixelsX(int x) const {
    return static_cast<int>((static_cast<long long>(x) * impl_->baseX + (x >= 0 ? 2 : -2)) / 4);
}
int ControlPanel::DialogUnitsToPixelsY(int y) const {
    return static_cast<int>((static_cast<long long>(y) * impl_->baseY + (y >= 0 ? 4 : -4)) / 8);
}
int ControlPanel::PixelsToDialogUnitsX(int px) const {
    long long b = impl_->baseX;
    return static_cast<int>((static_cast<long long>(px) * 4 + (px >= 0 ? b / 2 : -b / 2)) / b);
}
int ControlPanel::PixelsToDialogUnitsY(int px) const {
    long long b = impl_->baseY;
    return static_cast<int>((static_cast<long long>(px) * 8 + (px >= 0 ? b / 2 : -b / 2)) / b);
}
Rect ControlPanel::MapDialogRect(const Rect& r) const {
    return Rect{DialogUnitsToPixelsX(r.left), DialogUnitsToPixelsY(r.top), DialogUnitsToPixelsX(r.right),
                DialogUnitsToPixelsY(r.bottom)};
}
Size ControlPanel::BaseUnits() const { return Size{impl_->baseX, impl_->baseY}; }

Rect ControlPanel::GetItemRect(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return Rect{};
    QRect g = r->widget->geometry();
    return Rect{g.x(), g.y(), g.x() + g.width(), g.y() + g.height()};
}

void ControlPanel::MoveControl(int id, const Rect& px) {
    if (CtlRecord* r = impl_->Find(id))
        r->widget->setGeometry(ctl_Fit(r->desc.kind, r->widget, QRect(px.left, px.top, px.Width(), px.Height())));
}

Size ControlPanel::PanelSize() const {
    if (!impl_->panel) return Size{};
    return Size{impl_->panel->width(), impl_->panel->height()};
}

namespace {

// A control's text as its user reads it: without the mnemonic marks.
QSize ctl_TextSize(const QWidget* w, const std::string& text, bool mnemonic) {
    return QFontMetrics(w->font()).size(mnemonic ? Qt::TextShowMnemonic : 0, ToQString(text));
}

QSize ctl_NaturalSize(const CtlRecord& r) {
    QWidget* w = r.widget;
    QStyle* st = w->style();
    switch (r.desc.kind) {
    case ControlKind::Static: {
        auto* label = static_cast<QLabel*>(w);
        const bool prefix = !(r.desc.styles & style::NoPrefix);
        QSize s = ctl_TextSize(w, label->text().toStdString(), prefix);
        return s + QSize(2 * label->frameWidth(), 2 * label->frameWidth());
    }
    case ControlKind::Button:
    case ControlKind::DefaultButton: {
        // The text inside the bevel; the style's margins and minimum button
        // width are a matter of looks, not of room.
        auto* b = static_cast<QPushButton*>(w);
        QSize s = ctl_TextSize(w, b->text().toStdString(), true);
        const int frame = st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
        return QSize(s.width() + 2 * frame + 2, QFontMetrics(w->font()).height() + 2 * frame);
    }
    case ControlKind::GroupBox: return static_cast<QGroupBox*>(w)->minimumSizeHint();
    case ControlKind::ComboBox: {
        auto* c = static_cast<QComboBox*>(w);
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = c->isEditable();
        opt.frame = c->hasFrame();
        const QSize text = ctl_TextSize(w, c->currentText().toStdString(), false);
        QSize s = st->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(text.width(), text.height()), c);
        return QSize(s.width(), c->sizeHint().height());
    }
    case ControlKind::Edit:
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            // A line of text inside the frame; a longer text scrolls sideways.
            const QSize text = ctl_TextSize(w, e->text().toStdString(), false);
            const int frame = st->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
            return QSize(text.width() + 2 * frame + 4, QFontMetrics(w->font()).height() + 2 * frame);
        }
        return w->minimumSizeHint();
    default: return w->sizeHint();
    }
}

std::string ctl_Name(const CtlRecord& r) {
    std::string name = r.desc.id > 0 ? "#" + std::to_string(r.desc.id) : std::string("control");
    if (!r.desc.text.empty()) name += " \"" + r.desc.text + "\"";
    return name;
}

}  // namespace

Size ControlPanel::NaturalSize(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return Size{};
    const QSize s = ctl_NaturalSize(*r);
    return Size{s.width(), s.height()};
}

std::vector<std::string> ControlPanel::LayoutFaults() const {
    std::vector<std::string> faults;
    if (!impl_->panel) return faults;
    const QRect panel = impl_->panel->rect();
    std::vector<const CtlRecord*> shown;
    for (const auto& r : impl_->records)
        if (!r->widget->isHidden()) shown.push_back(r.get());
    auto size = [](const QSize& s) { return std::to_string(s.width()) + "x" + std::to_string(s.height()); };
    for (const CtlRecord* r : shown) {
        const QRect g = r->widget->geometry();
        const std::string name = ctl_Name(*r);
        if (!panel.contains(g)) faults.push_back(name + " reaches outside the panel");
        const QSize need = ctl_NaturalSize(*r);
        bool cut = false;
        switch (r->desc.kind) {
        case ControlKind::Static: {
            auto* label = static_cast<QLabel*>(r->widget);
            if (label->text().isEmpty()) break;
            // A wrapping static may take more lines if its height has them.
            if (label->wordWrap())
                cut = label->heightForWidth(g.width()) > g.height() || need.height() > g.height();
            else
                cut = need.width() > g.width() || need.height() > g.height();
            break;
        }
        case ControlKind::Button:
        case ControlKind::DefaultButton: cut = need.width() > g.width() || need.height() > g.height(); break;
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
        case ControlKind::GroupBox:
            cut = need.width() > g.width() || QFontMetrics(r->widget->font()).height() > g.height();
            break;
        case ControlKind::ComboBox: cut = need.width() > g.width() || need.height() > g.height(); break;
        case ControlKind::Edit:
            // Multi-line edits scroll their lines.
            cut = !(r->desc.styles & style::MultiLine) && need.height() > g.height();
            break;
        default: break;
        }
        if (cut) faults.push_back(name + " needs " + size(need) + " but has " + size(g.size()));
    }
    // Group boxes frame other controls; a spin sits on its buddy's edge.
    auto frames = [](const CtlRecord* a, const CtlRecord* b) {
        return a->desc.kind == ControlKind::GroupBox || b->desc.kind == ControlKind::GroupBox ||
               (a->desc.kind == ControlKind::Spin && a->buddy != 0 && a->buddy == b->desc.id) ||
               (b->desc.kind == ControlKind::Spin && b->buddy != 0 && b->buddy == a->desc.id);
    };
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j)
            if (!frames(shown[i], shown[j]) && shown[i]->widget->geometry().intersects(shown[j]->widget->geometry()))
                faults.push_back(ctl_Name(*shown[i]) + " and " + ctl_Name(*shown[j]) + " overlap");
    return faults;
}

// --- Fonts

FontDesc ControlPanel::PanelFont() const { return FromQFont(impl_->panel ? impl_->font : QApplication::font()); }

void ControlPanel::SetControlFont(int id, const FontDesc& font) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    r->hasFont = true;
    r->font = font;
    FontDesc f = font;
    if (f.face.empty()) f.face = FromQFont(impl_->font).face;
    if (f.height == 0) f.height = FromQFont(impl_->font).height;
    r->widget->setFont(ToQFont(f, 1.0));
}

FontDesc ControlPanel::GetControlFont(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return FontDesc{};
    return FromQFont(r->widget->font());
}

int ControlPanel::ControlLineHeight(int id) const {
    CtlRecord* r = impl_->Find(id);
    return QFontMetrics(r ? r->widget->font() : impl_->font).height();
}

Size ControlPanel::MeasureText(int id, const std::string& text, int width, unsigned flags) const {
    CtlRecord* r = impl_->Find(id);
    QFontMetrics fm(r ? r->widget->font() : impl_->font);
    int qflags = Qt::AlignLeft | Qt::AlignTop;
    if (flags & measure::WordBreak) qflags |= Qt::TextWordWrap;
    if (flags & measure::ExpandTabs) qflags |= Qt::TextExpandTabs;
    if (!(flags & measure::NoPrefix)) qflags |= Qt::TextShowMnemonic;
    int limit = (width > 0 && (flags & measure::WordBreak)) ? width : 1 << 20;
    int tabs[1] = {r && r->tabStopPixels > 0 ? r->tabStopPixels : 8 * fm.horizontalAdvance(QLatin1Char('x'))};
    QRect box = fm.boundingRect(QRect(0, 0, limit, 1 << 20), qflags, ToQString(text), 1, tabs);
    return Size{box.width(), box.height()};
}

void ControlPanel::SetTabStops(int id, int dialogUnits) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    r->tabStopPixels = DialogUnitsToPixelsX(dialogUnits);
    if (auto* e = qobject_cast<QPlainTextEdit*>(r->widget)) e->setTabStopDistance(r->tabStopPixels);
    if (auto* e = qobject_cast<QTextEdit*>(r->widget)) e->setTabStopDistance(r->tabStopPixels);
}

// --- State

void ControlPanel::EnableControl(int id, bool enable) {
    if (CtlRecord* r = impl_->Find(id)) r->widget->setEnabled(enable);
}
bool ControlPanel::IsControlEnabled(int id) const {
    CtlRecord* r = impl_->Find(id);
    return r && r->widget->isEnabled();
}
void ControlPanel::ShowControl(int id, bool show) {
    if (CtlRecord* r = impl_->Find(id)) r->widget->setVisible(show);
}
bool ControlPanel::IsControlVisible(int id) const {
    CtlRecord* r = impl_->Find(id);
    return r && !r->widget->isHidden();
}
void ControlPanel::FocusControl(int id) {
    if (CtlRecord* r = impl_->Find(id)) r->widget->setFocus(Qt::OtherFocusReason);
}
int ControlPanel::FocusedId() const {
    QWidget* w = QApplication::focusWidget();
    CtlRecord* r = w ? impl_->FindByWidget(w) : nullptr;
    return r ? r->desc.id : 0;
}
void ControlPanel::SetReadOnly(int id, bool readOnly) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    if (auto* e = qobject_cast<QLineEdit*>(r->widget)) e->setReadOnly(readOnly);
    if (auto* e = qobject_cast<QPlainTextEdit*>(r->widget)) e->setReadOnly(readOnly);
}

// --- Texts

namespace {
void ctl_SetText(ControlPanel::Impl& p, CtlRecord& r, const std::string& text) {
    const QString t = ToQString(text);
    QWidget* w = r.widget;
    switch (r.desc.kind) {
    case ControlKind::Static: static_cast<QLabel*>(w)->setText(t); break;
    case ControlKind::GroupBox: static_cast<QGroupBox*>(w)->setTitle(t); break;
    case ControlKind::Edit:
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            e->setText(t);
            e->setCursorPosition(0);
        } else {
            static_cast<QPlainTextEdit*>(w)->setPlainText(t);
        }
        break;
    case ControlKind::ComboBox: {
        auto* c = static_cast<QComboBox*>(w);
        if (c->isEditable()) {
            c->setEditText(t);
        } else {
            c->setCurrentIndex(c->findText(t, Qt::MatchFixedString));
        }
        break;
    }
    case ControlKind::RichText: static_cast<QTextEdit*>(w)->setPlainText(t); break;
    case ControlKind::RichEdit: {
        auto* e = static_cast<QTextEdit*>(w);
        if (e->toPlainText() != t) e->setPlainText(t);
        break;
    }
    case ControlKind::Icon:
    case ControlKind::ColorSwatch:
    case ControlKind::OwnerButton: break;
    default:
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(t);
        break;
    }
    r.desc.text = text;
    (void)p;
}
}  // namespace

void ControlPanel::SetText(int id, const std::string& text) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    ++impl_->quiet;
    ctl_SetText(*impl_, *r, text);
    --impl_->quiet;
}

std::string ControlPanel::GetText(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return std::string();
    QWidget* w = r->widget;
    switch (r->desc.kind) {
    case ControlKind::Edit:
        if (auto* e = qobject_cast<QLineEdit*>(w)) return ctl_ToStd(e->text());
        return ctl_ToStd(static_cast<QPlainTextEdit*>(w)->toPlainText());
    case ControlKind::ComboBox: return ctl_ToStd(static_cast<QComboBox*>(w)->currentText());
    case ControlKind::RichText:
    case ControlKind::RichEdit: return ctl_ToStd(static_cast<QTextEdit*>(w)->toPlainText());
    case ControlKind::ListBox: {
        auto* l = static_cast<QListWidget*>(w);
        QListWidgetItem* item = l->currentItem();
        return item ? ctl_ToStd(item->text()) : std::string();
    }
    case ControlKind::Spin:
    case ControlKind::ScrollBar:
    case ControlKind::Progress: return std::to_string(GetPos(id));
    default: return r->desc.text;
    }
}

void ControlPanel::SetInt(int id, int value) { SetText(id, std::to_string(value)); }

int ControlPanel::GetInt(int id, bool* ok) const {
    int v = 0;
    bool good = HasControl(id) && ctl_ParseInt(GetText(id), &v);
    if (ok) *ok = good;
    return good ? v : 0;
}

void ControlPanel::SetLimitText(int id, int maxChars) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    if (auto* e = qobject_cast<QLineEdit*>(r->widget)) e->setMaxLength(maxChars > 0 ? maxChars : 32767);
    if (auto* c = qobject_cast<QComboBox*>(r->widget))
        if (c->lineEdit()) c->lineEdit()->setMaxLength(maxChars > 0 ? maxChars : 32767);
}

void ControlPanel::SelectText(int id, int start, int end) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    QLineEdit* e = qobject_cast<QLineEdit*>(r->widget);
    if (!e)
        if (auto* c = qobject_cast<QComboBox*>(r->widget)) e = c->lineEdit();
    if (e) {
        int len = static_cast<int>(e->text().size());
        int s = std::clamp(start, 0, len);
        int t = end < 0 ? len : std::clamp(end, s, len);
        e->setSelection(s, t - s);
    } else if (auto* pe = qobject_cast<QPlainTextEdit*>(r->widget)) {
        QTextCursor c = pe->textCursor();
        int len = static_cast<int>(pe->toPlainText().size());
        int s = std::clamp(start, 0, len);
        int t = end < 0 ? len : std::clamp(end, s, len);
        c.setPosition(s);
        c.setPosition(t, QTextCursor::KeepAnchor);
        pe->setTextCursor(c);
    } else if (auto* te = qobject_cast<QTextEdit*>(r->widget)) {
        QTextCursor c = te->textCursor();
        int len = static_cast<int>(te->toPlainText().size());
        int s = std::clamp(start, 0, len);
        int t = end < 0 ? len : std::clamp(end, s, len);
        c.setPosition(s);
        c.setPosition(t, QTextCursor::KeepAnchor);
        te->setTextCursor(c);
    }
}

void ControlPanel::GetTextSelection(int id, int* start, int* end) const {
    int s = 0, t = 0;
    if (CtlRecord* r = impl_->Find(id)) {
        QLineEdit* e = qobject_cast<QLineEdit*>(r->widget);
        if (!e)
            if (auto* c = qobject_cast<QComboBox*>(r->widget)) e = c->lineEdit();
        if (e) {
            if (e->hasSelectedText()) {
                s = e->selectionStart();
                t = s + static_cast<int>(e->selectedText().size());
            } else {
                s = t = e->cursorPosition();
            }
        } else if (auto* pe = qobject_cast<QPlainTextEdit*>(r->widget)) {
            const QTextCursor c = pe->textCursor();
            s = c.selectionStart();
            t = c.selectionEnd();
        } else if (auto* te = qobject_cast<QTextEdit*>(r->widget)) {
            const QTextCursor c = te->textCursor();
            s = c.selectionStart();
            t = c.selectionEnd();
        }
    }
    if (start) *start = s;
    if (end) *end = t;
}

// --- Checks and radios

void ControlPanel::SetCheck(int id, int state) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    auto* b = qobject_cast<QAbstractButton*>(r->widget);
    if (!b || !b->isCheckable()) return;
    ++impl_->quiet;
    if (auto* cb = qobject_cast<QCheckBox*>(b); cb && state == 2) {
        cb->setTristate(true);
        cb->setCheckState(Qt::PartiallyChecked);
    } else {
        b->setChecked(state != 0);
    }
    --impl_->quiet;
}

int ControlPanel::GetCheck(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    if (auto* cb = qobject_cast<QCheckBox*>(r->widget)) {
        Qt::CheckState s = cb->checkState();
        return s == Qt::Checked ? 1 : s == Qt::PartiallyChecked ? 2 : 0;
    }
    auto* b = qobject_cast<QAbstractButton*>(r->widget);
    return b && b->isCheckable() && b->isChecked() ? 1 : 0;
}

void ControlPanel::CheckRadio(int first, int last, int id) {
    for (const auto& r : impl_->records) {
        int cid = r->desc.id;
        if (cid < first || cid > last) continue;
        if (r->desc.kind != ControlKind::RadioButton && r->desc.kind != ControlKind::CheckBox) continue;
        SetCheck(cid, cid == id ? 1 : 0);
    }
}

int ControlPanel::GetCheckedRadio(int first, int last) const {
    for (const auto& r : impl_->records) {
        int cid = r->desc.id;
        if (cid >= first && cid <= last && r->desc.kind == ControlKind::RadioButton && GetCheck(cid)) return cid;
    }
    return 0;
}

// --- Lists

namespace {
QTreeWidgetItem* ctl_Row(CtlRecord& r, int index) {
    auto* t = static_cast<QTreeWidget*>(r.widget);
    if (index < 0 || index >= t->topLevelItemCount()) return nullptr;
    return t->topLevelItem(index);
}

int ctl_SortedPosition(const QStringList& items, const QString& text) {
    auto it = std::upper_bound(items.begin(), items.end(), text, [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return static_cast<int>(it - items.begin());
}
}  // namespace

void ControlPanel::Reset(int id) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::ListBox: static_cast<QListWidget*>(r->widget)->clear(); break;
    case ControlKind::ComboBox: {
        auto* c = static_cast<QComboBox*>(r->widget);
        c->clear();
        if (c->isEditable()) c->setEditText(QString());
        break;
    }
    case ControlKind::Tab: {
        auto* t = static_cast<QTabBar*>(r->widget);
        while (t->count() > 0) t->removeTab(t->count() - 1);
        break;
    }
    case ControlKind::Tree:
    case ControlKind::ListView: static_cast<QTreeWidget*>(r->widget)->clear(); break;
    case ControlKind::RichText:
    case ControlKind::RichEdit: static_cast<QTextEdit*>(r->widget)->clear(); break;
    default: break;
    }
    --impl_->quiet;
}

int ControlPanel::Add(int id, const std::string& text) { return Insert(id, -1, text); }

int ControlPanel::Insert(int id, int index, const std::string& text) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return -1;
    const QString t = ToQString(text);
    int count = Count(id);
    if (index < 0 || index > count) index = count;
    const bool sorted = (r->desc.styles & style::Sorted) != 0;
    ++impl_->quiet;
    int result = -1;
    switch (r->desc.kind) {
    case ControlKind::ListBox: {
        auto* l = static_cast<QListWidget*>(r->widget);
        if (sorted) {
            QStringList all;
            for (int i = 0; i < l->count(); ++i) all << l->item(i)->text();
            index = ctl_SortedPosition(all, t);
        }
        auto* item = new QListWidgetItem(t);
        if (r->desc.styles & style::CheckList) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        l->insertItem(index, item);
        result = index;
        break;
    }
    case ControlKind::ComboBox: {
        auto* c = static_cast<QComboBox*>(r->widget);
        if (sorted) {
            QStringList all;
            for (int i = 0; i < c->count(); ++i) all << c->itemText(i);
            index = ctl_SortedPosition(all, t);
        }
        QString keep = c->isEditable() ? c->currentText() : QString();
        c->insertItem(index, t);
        if (c->count() == 1) c->setCurrentIndex(-1);  // adding an item chooses nothing
        if (c->isEditable()) c->setEditText(keep);
        result = index;
        break;
    }
    case ControlKind::Tab: result = static_cast<QTabBar*>(r->widget)->insertTab(index, t); break;
    case ControlKind::ListView: {
        auto* tw = static_cast<QTreeWidget*>(r->widget);
        auto* item = new QTreeWidgetItem();
        item->setText(0, t);
        tw->insertTopLevelItem(index, item);
        result = index;
        break;
    }
    default: break;
    }
    --impl_->quiet;
    return result;
}

bool ControlPanel::Delete(int id, int index) {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return false;
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::ListBox: delete static_cast<QListWidget*>(r->widget)->takeItem(index); break;
    case ControlKind::ComboBox: static_cast<QComboBox*>(r->widget)->removeItem(index); break;
    case ControlKind::Tab: static_cast<QTabBar*>(r->widget)->removeTab(index); break;
    case ControlKind::ListView: delete static_cast<QTreeWidget*>(r->widget)->takeTopLevelItem(index); break;
    default: break;
    }
    --impl_->quiet;
    return true;
}

int ControlPanel::Count(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    switch (r->desc.kind) {
    case ControlKind::ListBox: return static_cast<QListWidget*>(r->widget)->count();
    case ControlKind::ComboBox: return static_cast<QComboBox*>(r->widget)->count();
    case ControlKind::Tab: return static_cast<QTabBar*>(r->widget)->count();
    case ControlKind::ListView: return static_cast<QTreeWidget*>(r->widget)->topLevelItemCount();
    default: return 0;
    }
}

std::string ControlPanel::GetItemText(int id, int index) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return std::string();
    switch (r->desc.kind) {
    case ControlKind::ListBox: return ctl_ToStd(static_cast<QListWidget*>(r->widget)->item(index)->text());
    case ControlKind::ComboBox: return ctl_ToStd(static_cast<QComboBox*>(r->widget)->itemText(index));
    case ControlKind::Tab: return ctl_ToStd(static_cast<QTabBar*>(r->widget)->tabText(index));
    case ControlKind::ListView: return ctl_ToStd(ctl_Row(*r, index)->text(0));
    default: return std::string();
    }
}

void ControlPanel::SetItemText(int id, int index, const std::string& text) {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return;
    const QString t = ToQString(text);
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::ListBox: static_cast<QListWidget*>(r->widget)->item(index)->setText(t); break;
    case ControlKind::ComboBox: static_cast<QComboBox*>(r->widget)->setItemText(index, t); break;
    case ControlKind::Tab: static_cast<QTabBar*>(r->widget)->setTabText(index, t); break;
    case ControlKind::ListView: ctl_Row(*r, index)->setText(0, t); break;
    default: break;
    }
    --impl_->quiet;
}

int ControlPanel::FindItem(int id, const std::string& text, bool exact) const {
    const QString t = ToQString(text);
    int n = Count(id);
    for (int i = 0; i < n; ++i) {
        QString item = ToQString(GetItemText(id, i));
        if (exact ? item.compare(t, Qt::CaseInsensitive) == 0 : item.startsWith(t, Qt::CaseInsensitive)) return i;
    }
    return -1;
}

void ControlPanel::SetSel(int id, int index) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    if (index >= Count(id)) index = -1;
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::ListBox: {
        auto* l = static_cast<QListWidget*>(r->widget);
        l->clearSelection();
        if (index >= 0) {
            l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
            l->scrollToItem(l->item(index));
        } else {
            l->setCurrentRow(-1, QItemSelectionModel::Clear);
        }
        break;
    }
    case ControlKind::ComboBox: static_cast<QComboBox*>(r->widget)->setCurrentIndex(index); break;
    case ControlKind::Tab:
        if (index >= 0) static_cast<QTabBar*>(r->widget)->setCurrentIndex(index);
        break;
    case ControlKind::ListView: {
        auto* t = static_cast<QTreeWidget*>(r->widget);
        t->clearSelection();
        if (QTreeWidgetItem* item = ctl_Row(*r, index)) {
            t->setCurrentItem(item, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            t->scrollToItem(item);
        }
        break;
    }
    default: break;
    }
    --impl_->quiet;
}

int ControlPanel::GetSel(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return -1;
    switch (r->desc.kind) {
    case ControlKind::ListBox: {
        auto* l = static_cast<QListWidget*>(r->widget);
        if (!(r->desc.styles & style::MultiSelect)) {
            auto sel = l->selectedItems();
            return sel.isEmpty() ? -1 : l->row(sel.front());
        }
        return l->currentRow();
    }
    case ControlKind::ComboBox: return static_cast<QComboBox*>(r->widget)->currentIndex();
    case ControlKind::Tab: return static_cast<QTabBar*>(r->widget)->currentIndex();
    case ControlKind::ListView: {
        auto* t = static_cast<QTreeWidget*>(r->widget);
        if (!(r->desc.styles & style::MultiSelect)) {
            auto sel = t->selectedItems();
            return sel.isEmpty() ? -1 : t->indexOfTopLevelItem(sel.front());
        }
        return t->currentItem() ? t->indexOfTopLevelItem(t->currentItem()) : -1;
    }
    default: return -1;
    }
}

void ControlPanel::SetItemSelected(int id, int index, bool selected) {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return;
    const bool multi = (r->desc.kind == ControlKind::ListBox || r->desc.kind == ControlKind::ListView) &&
                       (r->desc.styles & style::MultiSelect);
    if (!multi) {
        if (selected)
            SetSel(id, index);
        else if (GetSel(id) == index)
            SetSel(id, -1);
        return;
    }
    ++impl_->quiet;
    if (r->desc.kind == ControlKind::ListBox)
        static_cast<QListWidget*>(r->widget)->item(index)->setSelected(selected);
    else
        ctl_Row(*r, index)->setSelected(selected);
    --impl_->quiet;
}

bool ControlPanel::IsItemSelected(int id, int index) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return false;
    switch (r->desc.kind) {
    case ControlKind::ListBox: return static_cast<QListWidget*>(r->widget)->item(index)->isSelected();
    case ControlKind::ListView: return ctl_Row(*r, index)->isSelected();
    case ControlKind::ComboBox:
    case ControlKind::Tab: return GetSel(id) == index;
    default: return false;
    }
}

std::vector<int> ControlPanel::GetSelectedItems(int id) const {
    std::vector<int> out;
    int n = Count(id);
    for (int i = 0; i < n; ++i)
        if (IsItemSelected(id, i)) out.push_back(i);
    return out;
}

void ControlPanel::SetItemData(int id, int index, intptr_t data) {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return;
    QVariant v = QVariant::fromValue<qlonglong>(data);
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::ListBox: static_cast<QListWidget*>(r->widget)->item(index)->setData(kCtlDataRole, v); break;
    case ControlKind::ComboBox: static_cast<QComboBox*>(r->widget)->setItemData(index, v, kCtlDataRole); break;
    case ControlKind::Tab: static_cast<QTabBar*>(r->widget)->setTabData(index, v); break;
    case ControlKind::ListView: ctl_Row(*r, index)->setData(0, kCtlDataRole, v); break;
    default: break;
    }
    --impl_->quiet;
}

intptr_t ControlPanel::GetItemData(int id, int index) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || index < 0 || index >= Count(id)) return 0;
    QVariant v;
    switch (r->desc.kind) {
    case ControlKind::ListBox: v = static_cast<QListWidget*>(r->widget)->item(index)->data(kCtlDataRole); break;
    case ControlKind::ComboBox: v = static_cast<QComboBox*>(r->widget)->itemData(index, kCtlDataRole); break;
    case ControlKind::Tab: v = static_cast<QTabBar*>(r->widget)->tabData(index); break;
    case ControlKind::ListView: v = ctl_Row(*r, index)->data(0, kCtlDataRole); break;
    default: break;
    }
    return static_cast<intptr_t>(v.toLongLong());
}

void ControlPanel::SetItemChecked(int id, int index, bool checked) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListBox || !(r->desc.styles & style::CheckList)) return;
    if (index < 0 || index >= Count(id)) return;
    ++impl_->quiet;
    static_cast<QListWidget*>(r->widget)->item(index)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    --impl_->quiet;
}

bool ControlPanel::IsItemChecked(int id, int index) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListBox || !(r->desc.styles & style::CheckList)) return false;
    if (index < 0 || index >= Count(id)) return false;
    return static_cast<QListWidget*>(r->widget)->item(index)->checkState() == Qt::Checked;
}

// --- List views

int ControlPanel::AddColumn(int id, const std::string& title, int widthPixels, ColumnAlign align) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListView) return -1;
    auto* t = static_cast<QTreeWidget*>(r->widget);
    int col = t->columnCount();
    t->setColumnCount(col + 1);
    QTreeWidgetItem* header = t->headerItem();
    header->setText(col, ToQString(title));
    Qt::Alignment a = align == ColumnAlign::Right    ? Qt::AlignRight
                      : align == ColumnAlign::Center ? Qt::AlignHCenter
                                                     : Qt::AlignLeft;
    header->setTextAlignment(col, a | Qt::AlignVCenter);
    if (widthPixels > 0) t->setColumnWidth(col, widthPixels);
    return col;
}

int ControlPanel::ColumnCount(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListView) return 0;
    return static_cast<QTreeWidget*>(r->widget)->columnCount();
}

void ControlPanel::SetCellText(int id, int row, int column, const std::string& text) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListView) return;
    QTreeWidgetItem* item = ctl_Row(*r, row);
    if (!item || column < 0 || column >= ColumnCount(id)) return;
    ++impl_->quiet;
    item->setText(column, ToQString(text));
    item->setTextAlignment(column,
                           Qt::Alignment(static_cast<QTreeWidget*>(r->widget)->headerItem()->textAlignment(column)));
    --impl_->quiet;
}

std::string ControlPanel::GetCellText(int id, int row, int column) const {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ListView) return std::string();
    QTreeWidgetItem* item = ctl_Row(*r, row);
    if (!item || column < 0 || column >= ColumnCount(id)) return std::string();
    return ctl_ToStd(item->text(column));
}

// --- Trees
//
// Items are named by handles that count up and are never reused, so a handle
// kept after its item was deleted finds nothing instead of freed memory.

namespace {
TreeItem ctl_nextTreeHandle = 1;

QTreeWidgetItem* ctl_FindTreeItem(QTreeWidgetItem* root, TreeItem h) {
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem* c = root->child(i);
        if (static_cast<TreeItem>(c->data(0, kCtlHandleRole).toLongLong()) == h) return c;
        if (QTreeWidgetItem* found = ctl_FindTreeItem(c, h)) return found;
    }
    return nullptr;
}

QTreeWidget* ctl_Tree(ControlPanel::Impl& p, int id) {
    CtlRecord* r = p.Find(id);
    return r && r->desc.kind == ControlKind::Tree ? static_cast<QTreeWidget*>(r->widget) : nullptr;
}

QTreeWidgetItem* ctl_TreeItem(QTreeWidget* t, TreeItem h) {
    if (!t || h == 0) return nullptr;
    return ctl_FindTreeItem(t->invisibleRootItem(), h);
}

TreeItem ctl_HandleOf(QTreeWidgetItem* item) {
    return item ? static_cast<TreeItem>(item->data(0, kCtlHandleRole).toLongLong()) : 0;
}
}  // namespace

TreeItem ControlPanel::TreeInsert(int id, TreeItem parent, const std::string& text, intptr_t data) {
    QTreeWidget* t = ctl_Tree(*impl_, id);
    if (!t) return 0;
    QTreeWidgetItem* p = parent == 0 ? t->invisibleRootItem() : ctl_TreeItem(t, parent);
    if (!p) return 0;
    ++impl_->quiet;
    auto* item = new QTreeWidgetItem();
    item->setText(0, ToQString(text));
    item->setData(0, kCtlDataRole, QVariant::fromValue<qlonglong>(data));
    TreeItem h = ctl_nextTreeHandle++;
    item->setData(0, kCtlHandleRole, QVariant::fromValue<qlonglong>(h));
    p->addChild(item);
    --impl_->quiet;
    return h;
}

bool ControlPanel::TreeDelete(int id, TreeItem item) {
    QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item);
    if (!it) return false;
    ++impl_->quiet;
    delete it;
    --impl_->quiet;
    return true;
}

std::string ControlPanel::TreeText(int id, TreeItem item) const {
    QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item);
    return it ? ctl_ToStd(it->text(0)) : std::string();
}

void ControlPanel::TreeSetText(int id, TreeItem item, const std::string& text) {
    if (QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item)) it->setText(0, ToQString(text));
}

intptr_t ControlPanel::TreeData(int id, TreeItem item) const {
    QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item);
    return it ? static_cast<intptr_t>(it->data(0, kCtlDataRole).toLongLong()) : 0;
}

TreeItem ControlPanel::TreeParent(int id, TreeItem item) const {
    QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item);
    return it ? ctl_HandleOf(it->parent()) : 0;
}

std::vector<TreeItem> ControlPanel::TreeChildren(int id, TreeItem item) const {
    std::vector<TreeItem> out;
    QTreeWidget* t = ctl_Tree(*impl_, id);
    if (!t) return out;
    QTreeWidgetItem* p = item == 0 ? t->invisibleRootItem() : ctl_TreeItem(t, item);
    if (!p) return out;
    for (int i = 0; i < p->childCount(); ++i) out.push_back(ctl_HandleOf(p->child(i)));
    return out;
}

void ControlPanel::TreeExpand(int id, TreeItem item, bool expand) {
    if (QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item)) it->setExpanded(expand);
}

bool ControlPanel::TreeIsExpanded(int id, TreeItem item) const {
    QTreeWidgetItem* it = ctl_TreeItem(ctl_Tree(*impl_, id), item);
    return it && it->isExpanded();
}

void ControlPanel::TreeSelect(int id, TreeItem item) {
    QTreeWidget* t = ctl_Tree(*impl_, id);
    if (!t) return;
    ++impl_->quiet;
    t->clearSelection();
    if (QTreeWidgetItem* it = ctl_TreeItem(t, item)) {
        t->setCurrentItem(it);
        it->setSelected(true);
        t->scrollToItem(it);
    }
    --impl_->quiet;
}

TreeItem ControlPanel::TreeSelection(int id) const {
    QTreeWidget* t = ctl_Tree(*impl_, id);
    if (!t) return 0;
    auto sel = t->selectedItems();
    return sel.isEmpty() ? 0 : ctl_HandleOf(sel.front());
}

// --- Ranges

void ControlPanel::SetRange(int id, int low, int high) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::Spin:
        r->low = low;
        r->high = high;
        r->pos = std::clamp(r->pos, std::min(low, high), std::max(low, high));
        break;
    case ControlKind::ScrollBar:
        static_cast<QScrollBar*>(r->widget)->setRange(std::min(low, high), std::max(low, high));
        break;
    case ControlKind::Progress:
        static_cast<QProgressBar*>(r->widget)->setRange(std::min(low, high), std::max(low, high));
        break;
    default: break;
    }
    --impl_->quiet;
}

int ControlPanel::GetRangeLow(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    switch (r->desc.kind) {
    case ControlKind::Spin: return r->low;
    case ControlKind::ScrollBar: return static_cast<QScrollBar*>(r->widget)->minimum();
    case ControlKind::Progress: return static_cast<QProgressBar*>(r->widget)->minimum();
    default: return 0;
    }
}

int ControlPanel::GetRangeHigh(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    switch (r->desc.kind) {
    case ControlKind::Spin: return r->high;
    case ControlKind::ScrollBar: return static_cast<QScrollBar*>(r->widget)->maximum();
    case ControlKind::Progress: return static_cast<QProgressBar*>(r->widget)->maximum();
    default: return 0;
    }
}

void ControlPanel::SetPos(int id, int pos) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    ++impl_->quiet;
    switch (r->desc.kind) {
    case ControlKind::Spin: {
        r->pos = std::clamp(pos, std::min(r->low, r->high), std::max(r->low, r->high));
        if (CtlRecord* b = impl_->Find(r->buddy)) ctl_SetText(*impl_, *b, std::to_string(r->pos));
        break;
    }
    case ControlKind::ScrollBar: static_cast<QScrollBar*>(r->widget)->setValue(pos); break;
    case ControlKind::Progress: {
        auto* p = static_cast<QProgressBar*>(r->widget);
        p->setValue(std::clamp(pos, p->minimum(), p->maximum()));
        break;
    }
    default: break;
    }
    --impl_->quiet;
}

int ControlPanel::GetPos(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    switch (r->desc.kind) {
    case ControlKind::Spin: {
        int v = 0;
        if (r->buddy && HasControl(r->buddy) && ctl_ParseInt(GetText(r->buddy), &v))
            return std::clamp(v, std::min(r->low, r->high), std::max(r->low, r->high));
        return r->pos;
    }
    case ControlKind::ScrollBar: return static_cast<QScrollBar*>(r->widget)->value();
    case ControlKind::Progress: return static_cast<QProgressBar*>(r->widget)->value();
    default: return 0;
    }
}

void ControlPanel::SetPageSize(int id, int page) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ScrollBar) return;
    static_cast<QScrollBar*>(r->widget)->setPageStep(std::max(1, page));
}

void ControlPanel::SetBuddy(int spinId, int editId) {
    CtlRecord* r = impl_->Find(spinId);
    if (r && r->desc.kind == ControlKind::Spin) r->buddy = HasControl(editId) ? editId : 0;
}

// --- Colours, rich text, icons, buttons

void ControlPanel::SetColor(int id, Color color) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::ColorSwatch) return;
    r->color = color;
    static_cast<CtlSwatch*>(r->widget)->SetColor(color);
}

Color ControlPanel::GetColor(int id) const {
    CtlRecord* r = impl_->Find(id);
    return r && r->desc.kind == ControlKind::ColorSwatch ? r->color : 0;
}

void ControlPanel::AppendRichText(int id, const std::string& text, Color color, bool bold) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::RichText) return;
    auto* e = static_cast<QTextEdit*>(r->widget);
    QTextCursor c(e->document());
    c.movePosition(QTextCursor::End);
    QTextCharFormat f;
    f.setForeground(ToQColor(color));
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    c.insertText(ToQString(text), f);
    e->setTextCursor(c);
    e->ensureCursorVisible();
}

// --- Rich edits

ControlHook::~ControlHook() {
    if (panel_) panel_->SetControlHook(id_, nullptr);
}

int ControlPanel::TextLength(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return 0;
    if (auto* e = qobject_cast<QLineEdit*>(r->widget)) return static_cast<int>(e->text().size());
    if (auto* e = qobject_cast<QPlainTextEdit*>(r->widget)) return static_cast<int>(e->toPlainText().size());
    if (auto* e = qobject_cast<QTextEdit*>(r->widget)) return static_cast<int>(e->toPlainText().size());
    return 0;
}

void ControlPanel::SetCharFormat(int id, int start, int end, const CharFormat& format) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::RichEdit) return;
    auto* e = static_cast<QTextEdit*>(r->widget);
    const int len = static_cast<int>(e->toPlainText().size());
    const int s = std::clamp(start, 0, len);
    const int t = end < 0 ? len : std::clamp(end, s, len);
    if (s == t) return;
    QTextCursor c(e->document());
    c.setPosition(s);
    c.setPosition(t, QTextCursor::KeepAnchor);
    // Colour and weight are the only properties a run carries.
    QTextCharFormat f;
    if (!format.autoColor) f.setForeground(ToQColor(format.color));
    f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    ++impl_->quiet;
    c.setCharFormat(f);
    --impl_->quiet;
}

std::vector<FormatRun> ControlPanel::GetFormatRuns(int id) const {
    std::vector<FormatRun> runs;
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::RichEdit) return runs;
    const QTextDocument* doc = static_cast<QTextEdit*>(r->widget)->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid()) continue;
            const QTextCharFormat f = fragment.charFormat();
            FormatRun run;
            run.start = fragment.position();
            run.length = fragment.length();
            run.format.autoColor = !f.hasProperty(QTextFormat::ForegroundBrush);
            if (!run.format.autoColor) run.format.color = FromQColor(f.foreground().color());
            run.format.bold = f.fontWeight() >= QFont::Bold;
            // A line break between runs of one format does not split them.
            if (!runs.empty() && runs.back().format == run.format &&
                run.start <= runs.back().start + runs.back().length + 1)
                runs.back().length = run.start + run.length - runs.back().start;
            else
                runs.push_back(run);
        }
    }
    return runs;
}

void ControlPanel::SetRedraw(int id, bool on) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    r->widget->setUpdatesEnabled(on);
    if (on) {
        r->widget->update();
        if (auto* a = qobject_cast<QAbstractScrollArea*>(r->widget)) a->viewport()->update();
    }
}

void ControlPanel::SetLineWrap(int id, bool wrap) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    if (auto* e = qobject_cast<QTextEdit*>(r->widget))
        e->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    if (auto* e = qobject_cast<QPlainTextEdit*>(r->widget))
        e->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void ControlPanel::ScrollCaretIntoView(int id) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    if (auto* e = qobject_cast<QTextEdit*>(r->widget)) e->ensureCursorVisible();
    if (auto* e = qobject_cast<QPlainTextEdit*>(r->widget)) e->ensureCursorVisible();
    // A line edit keeps its cursor in view by itself.
}

Image ControlPanel::GrabControl(int id) const {
    CtlRecord* r = impl_->Find(id);
    if (!r) return Image();
    return ImageFromQImage(r->widget->grab().toImage());
}

bool ControlPanel::SetControlHook(int id, ControlHook* hook) {
    CtlRecord* r = impl_->Find(id);
    if (!r) {
        if (hook && hook->panel_ == this && hook->id_ == id) hook->panel_ = nullptr;
        return false;
    }
    if (r->hook == hook) return true;
    impl_->DetachHook(*r);
    if (hook) {
        if (hook->panel_) hook->panel_->SetControlHook(hook->id_, nullptr);
        hook->panel_ = this;
        hook->id_ = id;
        r->hook = hook;
    }
    return true;
}

void ControlPanel::NotifyParent(int id, Notify what) {
    if (impl_->Find(id)) impl_->Notify(id, what);
}

void ControlPanel::SetIcon(int id, StandardIcon icon) {
    CtlRecord* r = impl_->Find(id);
    if (!r || r->desc.kind != ControlKind::Icon) return;
    r->icon = icon;
    Size s = StandardIconSize();
    auto* label = static_cast<QLabel*>(r->widget);
    QIcon qi = ctl_StandardIcon(icon);
    label->setPixmap(qi.isNull() ? QPixmap() : qi.pixmap(s.cx, s.cy));
}

Size ControlPanel::StandardIconSize() { return Size{32, 32}; }

void ControlPanel::SetDefaultButton(int id) {
    for (const auto& r : impl_->records) {
        if (auto* b = qobject_cast<QPushButton*>(r->widget)) b->setDefault(r->desc.id == id);
    }
    impl_->defaultButton = HasControl(id) ? id : 0;
}

int ControlPanel::DefaultButton() const { return impl_->defaultButton; }

void ControlPanel::Redraw(int id) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    r->widget->update();
    if (auto* v = qobject_cast<QAbstractItemView*>(r->widget)) v->viewport()->update();
}

void ControlPanel::SetItemHeight(int id, int pixels) {
    CtlRecord* r = impl_->Find(id);
    if (!r) return;
    r->itemHeight = std::max(0, pixels);
    if (auto* l = qobject_cast<QListWidget*>(r->widget)) l->doItemsLayout();
    if (auto* c = qobject_cast<QComboBox*>(r->widget)) c->view()->doItemsLayout();
}

// --- Acting as the user

void ControlPanel::UserClick(int id) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled()) return;
    if (auto* b = qobject_cast<QAbstractButton*>(r->widget)) b->click();
}

void ControlPanel::UserSetText(int id, const std::string& text) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled()) return;
    ctl_SetText(*impl_, *r, text);
}

void ControlPanel::UserSelect(int id, int index) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled() || index < 0 || index >= Count(id)) return;
    switch (r->desc.kind) {
    case ControlKind::ListBox: {
        auto* l = static_cast<QListWidget*>(r->widget);
        l->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
        break;
    }
    case ControlKind::ComboBox: static_cast<QComboBox*>(r->widget)->setCurrentIndex(index); break;
    case ControlKind::Tab: static_cast<QTabBar*>(r->widget)->setCurrentIndex(index); break;
    case ControlKind::ListView: {
        auto* t = static_cast<QTreeWidget*>(r->widget);
        t->setCurrentItem(ctl_Row(*r, index), 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        break;
    }
    default: break;
    }
}

void ControlPanel::UserDoubleClick(int id, int index) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled()) return;
    if (index >= 0) UserSelect(id, index);
    impl_->Notify(id, Notify::DoubleClicked);
}

void ControlPanel::UserRightButton(int id) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled()) return;
    QWidget* target = r->widget;
    if (auto* a = qobject_cast<QAbstractScrollArea*>(target)) target = a->viewport();
    const QPointF local(target->width() / 2.0, target->height() / 2.0);
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::RightButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void ControlPanel::UserToggleItemCheck(int id, int index) {
    CtlRecord* r = impl_->Find(id);
    if (!r || !r->widget->isEnabled() || r->desc.kind != ControlKind::ListBox || !(r->desc.styles & style::CheckList) ||
        index < 0 || index >= Count(id))
        return;
    QListWidgetItem* item = static_cast<QListWidget*>(r->widget)->item(index);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

// --- Prompts and overridables

void ControlPanel::LinkPromptStrip(PromptStrip* strip) { impl_->prompt = strip; }
PromptStrip* ControlPanel::LinkedPromptStrip() const { return impl_->prompt; }

void ControlPanel::OnControl(int, Notify) {}

void ControlPanel::OnDrawItem(DrawItemInfo& item) {
    if (!item.surface) return;
    item.surface->FillRect(item.rect, item.selected ? MakeColor(0, 0, 128) : MakeColor(255, 255, 255));
}

void ControlPanel::OnPrompt(int id) {
    if (impl_->prompt && impl_->prompt->IsAttached()) impl_->prompt->ShowPromptById(id);
}

void ControlPanel::OnButtonClicked(int id) { impl_->Notify(id, Notify::Clicked); }

}  // namespace platform
