#include "support/ui/MessageForm.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <memory>

namespace {

struct TButtonInfo {
    const char* name;
    const char* caption;
    int modalResult;
};

// In flag order, bit 0 first.
const TButtonInfo kButtons[] = {
    {"Yes", "&Yes", mrYes},
    {"No", "&No", mrNo},
    {"OK", "&Ok", mrOk},
    {"Cancel", "&Cancel", mrCancel},
    {"Abort", "A&bort", mrAbort},
    {"Retry", "R&etry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll},
    {"NoToAll", "No&ToAll", mrNoToAll},
    {"YesToAll", "YesToA&ll", mrYesToAll},
    {"Help", "H&elp", mrNone},
};
constexpr int kButtonCount = int(sizeof(kButtons) / sizeof(kButtons[0]));

QString TypeTitle(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return "Warning";
    case mtError:
        return "Error";
    case mtInformation:
        return "Information";
    case mtConfirmation:
        return "Confirmation";
    case mtCustom:
        break;
    }
    return QGuiApplication::applicationDisplayName();
}

bool TypeIcon(TMsgDlgType type, QStyle::StandardPixmap& icon) {
    switch (type) {
    case mtWarning:
        icon = QStyle::SP_MessageBoxWarning;
        return true;
    case mtError:
        icon = QStyle::SP_MessageBoxCritical;
        return true;
    case mtInformation:
        icon = QStyle::SP_MessageBoxInformation;
        return true;
    case mtConfirmation:
        icon = QStyle::SP_MessageBoxQuestion;
        return true;
    case mtCustom:
        break;
    }
    return false;
}

// n * mul / div to the nearest integer, halves away from zero.
int MulDiv(int n, int mul, int div) {
    const long long num = (long long)n * mul;
    const long long half = div / 2;
    return int(num >= 0 ? (num + half) / div : (num - half) / div);
}

QRect ScreenGeometry() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect(0, 0, 1024, 768);
}

void CentreOnScreen(QWidget* form) {
    const QRect screen = ScreenGeometry();
    form->move(screen.x() + screen.width() / 2 - form->width() / 2,
               screen.y() + screen.height() / 2 - form->height() / 2);
}

Qt::WindowFlags DialogFlags() {
    return Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
           Qt::MSWindowsFixedSizeDialogHint;
}

} // namespace

int TDialogUnits::Horz(int units) const {
    return MulDiv(units, x, 4);
}
int TDialogUnits::Vert(int units) const {
    return MulDiv(units, y, 8);
}

TDialogUnits DialogUnitsOf(const QFont& font) {
    static const QString letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const QFontMetrics metrics(font);
    return {metrics.horizontalAdvance(letters) / 52, metrics.height()};
}

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent, DialogFlags()) {
    setObjectName("MessageForm");
}

void TMessageForm::reject() {
    if (cancelResult_ >= 0)
        done(cancelResult_);
    else if (!hasClosingButton_)
        done(mrCancel);
}

TMessageForm* CreateMessageForm(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    auto form = std::make_unique<TMessageForm>();
    const QFont font = form->font();
    const TDialogUnits du = DialogUnitsOf(font);
    const int hMargin = du.Horz(8), vMargin = du.Vert(8);
    const int hSpacing = du.Horz(10), vSpacing = du.Vert(10);
    const int buttonWidth = du.Horz(50), buttonHeight = du.Vert(14), buttonGap = du.Horz(4);

    const QRect screen = ScreenGeometry();
    const int textFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    const QRect textRect =
        QFontMetrics(font).boundingRect(QRect(0, 0, screen.width() / 2, 0), textFlags, text);
    const int textWidth = textRect.width(), textHeight = textRect.height();

    QStyle::StandardPixmap iconId{};
    const bool hasIcon = TypeIcon(type, iconId);
    int iconTextWidth = textWidth, iconTextHeight = textHeight;
    if (hasIcon) {
        iconTextWidth += 32 + hSpacing;
        iconTextHeight = std::max(iconTextHeight, 32);
    }

    int count = 0;
    for (int bit = 0; bit < kButtonCount; ++bit)
        count += (buttons >> bit) & 1u;
    const int groupWidth = count > 0 ? count * buttonWidth + (count - 1) * buttonGap : 0;

    const int clientWidth = std::max(iconTextWidth, groupWidth) + 2 * hMargin;
    const int clientHeight = iconTextHeight + buttonHeight + vSpacing + 2 * vMargin;
    form->setFixedSize(clientWidth, clientHeight);
    CentreOnScreen(form.get());
    form->setWindowTitle(TypeTitle(type));

    if (hasIcon) {
        auto* image = new QLabel(form.get());
        image->setObjectName("Image");
        image->setGeometry(hMargin, vMargin, 32, 32);
        image->setPixmap(form->style()->standardIcon(iconId, nullptr, form.get()).pixmap(32, 32));
    }

    auto* message = new QLabel(form.get());
    message->setObjectName("Message");
    message->setTextFormat(Qt::PlainText);
    message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    message->setWordWrap(true);
    message->setText(text);
    message->setGeometry(iconTextWidth - textWidth + hMargin, vMargin, textWidth, textHeight);

    const int defaultBit = (buttons & mbOK) ? 2 : (buttons & mbYes) ? 0 : (buttons & mbRetry) ? 5 : -1;
    const int cancelBit = (buttons & mbCancel) ? 3 : (buttons & mbNo) ? 1 : (buttons & mbOK) ? 2 : -1;
    form->cancelResult_ = cancelBit >= 0 ? kButtons[cancelBit].modalResult : -1;

    const int buttonTop = iconTextHeight + vMargin + vSpacing;
    int left = (clientWidth - groupWidth) / 2;
    QPushButton* defaultButton = nullptr;
    for (int bit = 0; bit < kButtonCount; ++bit) {
        if (!((buttons >> bit) & 1u))
            continue;
        const TButtonInfo& info = kButtons[bit];
        auto* button = new QPushButton(QString::fromLatin1(info.caption), form.get());
        button->setObjectName(QString::fromLatin1(info.name));
        button->setGeometry(left, buttonTop, buttonWidth, buttonHeight);
        left += buttonWidth + buttonGap;
        TMessageForm* f = form.get();
        const int result = info.modalResult;
        if (result == mrNone) {
            QObject::connect(button, &QPushButton::clicked, f,
                             [f] { emit f->HelpRequested(f->HelpContext()); });
        } else {
            form->hasClosingButton_ = true;
            QObject::connect(button, &QPushButton::clicked, f, [f, result] { f->done(result); });
        }
        if (bit == defaultBit) {
            button->setDefault(true);
            defaultButton = button;
        }
    }
    if (defaultButton)
        defaultButton->setFocus();
    // Nothing to answer with: the close box would only be refused.
    if (form->cancelResult_ < 0 && form->hasClosingButton_)
        form->setWindowFlag(Qt::WindowCloseButtonHint, false);
    return form.release();
}

int ExecMessageDialogPos(const QString& text, TMsgDlgType type, TMsgDlgButtons buttons, int helpContext,
                         int x, int y) {
    std::unique_ptr<TMessageForm> form(CreateMessageForm(text, type, buttons));
    form->SetHelpContext(helpContext);
    if (x >= 0)
        form->move(x, form->y());
    if (y >= 0)
        form->move(form->x(), y);
    return form->exec();
}

TInputForm::TInputForm(const QString& caption, const QString& prompt, const QString& value, QWidget* parent)
    : QDialog(parent, DialogFlags()) {
    setObjectName("InputForm");
    setWindowTitle(caption);
    const TDialogUnits du = DialogUnitsOf(font());
    setFixedSize(du.Horz(180), du.Vert(63));

    auto* label = new QLabel(this);
    label->setObjectName("Prompt");
    label->setTextFormat(Qt::PlainText);
    label->setText(prompt);
    label->move(du.Horz(8), du.Vert(8));
    label->adjustSize();

    edit_ = new QLineEdit(this);
    edit_->setObjectName("Edit");
    // A longer value than the usual limit is kept whole rather than cut behind the operator's back.
    edit_->setMaxLength(std::max<int>(255, int(value.size())));
    edit_->setText(value);
    edit_->setGeometry(label->x(), du.Vert(19), du.Horz(164), edit_->sizeHint().height());
    edit_->selectAll();
    edit_->setFocus();

    auto* ok = new QPushButton("&Ok", this);
    ok->setObjectName("OK");
    ok->setGeometry(du.Horz(38), du.Vert(41), du.Horz(50), du.Vert(14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { done(mrOk); });

    auto* cancel = new QPushButton("&Cancel", this);
    cancel->setObjectName("Cancel");
    cancel->setGeometry(du.Horz(92), du.Vert(41), du.Horz(50), du.Vert(14));
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

    CentreOnScreen(this);
}

QString TInputForm::Value() const {
    return edit_->text();
}

bool ShowInputDialog(const QString& caption, const QString& prompt, QString& value) {
    TInputForm form(caption, prompt, value);
    if (form.exec() != mrOk)
        return false;
    value = form.Value();
    return true;
}
