#include "screens/animated_boot_page.h"

#include <QFontMetrics>
#include <algorithm>
#include <initializer_list>

#include "app/form1.h"
#include "platform/error.h"
#include "platform/system.h"
#include "platform/ui_services.h"
#include "screens/boot_pictures.h"
#include "screens/file_steps.h"

namespace zarvo {

namespace {

const QString kDriveRoot = QStringLiteral("C:\\");
const QString kPicturesFolder = QStringLiteral("C:\\Program Files\\Zarvo\\Zarvo\\");
const QString kBootPicture = QStringLiteral("C:\\Logo.sys");
const QString kProgramCopy = QStringLiteral("C:\\Program Files\\Zarvo\\Logo.sys");
const QString kBuiltInPreview = QStringLiteral(":/previews/animated.bmp");

const QString kEnterCorrectPath = QStringLiteral("Введите корректный путь.");
const QString kLogoNotFound = QStringLiteral("Не нахожу файл logo.sys");

QLabel* makeInstructionLabel(QWidget* parent, const QString& name, const QString& text,
                             const QRect& geometry) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setFont(msSansSerif(8.25, true, true));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

bool fitsBox(const QLabel* label, const QFont& font) {
    const QRect box = label->geometry();
    const QRect needed = QFontMetrics(font).boundingRect(
        QRect(0, 0, box.width(), 0x7FFF), Qt::AlignLeft | Qt::TextWordWrap, label->text());
    return needed.width() <= box.width() && needed.height() <= box.height();
}

// The labels and the button between them make one sentence, so no word may
// be cut off. MS Sans Serif fits the boxes at 8.25 pt; a wider stand-in font
// is made smaller, the same for both labels, until both texts fit.
void fitInstructionLabels(std::initializer_list<QLabel*> labels) {
    QFont font = (*labels.begin())->font();
    for (qreal size = font.pointSizeF(); size >= 6.0; size -= 0.25) {
        font.setPointSizeF(size);
        if (std::all_of(labels.begin(), labels.end(),
                        [&font](const QLabel* label) { return fitsBox(label, font); }))
            break;
    }
    for (QLabel* label : labels) label->setFont(font);
}

}  // namespace

AnimatedBootPage::AnimatedBootPage(Form1& form)
    : Page(form, QStringLiteral("Frame5"), QStringLiteral("Картинка загрузки.Анимация")) {
    QStringList names;
    for (std::string_view name : kBootPictureNames)
        names << QString::fromLatin1(name.data(), qsizetype(name.size()));
    Combo2 = makeComboBox(this, QStringLiteral("Combo2"), twips(120, 360, 1575, 315), names,
                          int(names.size()) - 1);

    Text5 =
        makeField(this, QStringLiteral("Text5"), twips(120, 360, 495, 285), QStringLiteral("C:\\"));
    Label4 = makeInstructionLabel(this, QStringLiteral("Label4"),
                                  QStringLiteral("Проверте установлена запись в файле  "),
                                  twips(120, 720, 1575, 615));
    Text6 =
        makeField(this, QStringLiteral("Text6"), twips(120, 720, 495, 285), QStringLiteral("C:\\"));
    Text7 = makeField(this, QStringLiteral("Text7"), twips(120, 1080, 495, 285),
                      QStringLiteral("C:\\Logo.sys"));
    Command12 = makeButton(this, QStringLiteral("Command12"), QStringLiteral("MSDOS.SYS"),
                           twips(120, 1320, 1455, 375));
    Text8 = makeField(this, QStringLiteral("Text8"), twips(120, 1440, 495, 285),
                      QStringLiteral("C:\\Program Files\\Zarvo\\Zarvo\\"));
    Label1 = makeInstructionLabel(
        this, QStringLiteral("Label1"),
        QStringLiteral("в разделе [Options] Logo=1. Если нет установите и нажмите на кнопку "),
        twips(120, 1680, 1575, 975));
    Command9 = makeButton(this, QStringLiteral("Command9"), QStringLiteral("1"),
                          twips(120, 2640, 375, 255), colors::kGreen);
    Command10 = makeButton(this, QStringLiteral("Command10"), QStringLiteral("2"),
                           twips(600, 2640, 375, 255), colors::kYellow);
    Command11 = makeButton(this, QStringLiteral("Command11"), QStringLiteral("3"),
                           twips(1080, 2640, 375, 255), colors::kRed);
    Image4 = new AnimatedPictureBox(this, QStringLiteral("Image4"), twips(1800, 360, 2175, 2535));
    Image4->setDeferredPicture([] { return builtInPicture(kBuiltInPreview); },
                               [] { return readPaletteBandStart(kBuiltInPreview); });

    // A list choice previews; typing in the text line does not.
    connect(Combo2, &QComboBox::activated, this,
            [this](int) { runHandler(ui(), [this] { onPictureChosen(); }); });
    onClick(Command9, [this] { onStep1(); });
    onClick(Command10, [this] { onStep2(); });
    onClick(Command11, [this] { onStep3(); });
    onClick(Command12, [this] { onOpenMsdosSys(); });
}

void AnimatedBootPage::showEvent(QShowEvent* event) {
    // Measuring wrapped text is slow, and a page that is never shown needs
    // none of it.
    if (!labelsFitted_) {
        fitInstructionLabels({Label4, Label1});
        labelsFitted_ = true;
    }
    Page::showEvent(event);
}

void AnimatedBootPage::onPictureChosen() {
    // Always the pictures folder: after a step "2" Text8 holds a picture's
    // full path, which no longer leads to the others.
    const QString path = kPicturesFolder + Combo2->currentText();
    if (auto picture = loadPreview(path)) {
        const int bandStart =
            readPaletteBandStart(QString::fromStdString(system().hostPath(toStd(path))));
        Image4->setPicture(*picture, bandStart);
    }
}

void AnimatedBootPage::onStep1() {
    Form1& f = form();
    f.SourceFile = kProgramCopy;
    f.TargetFile = kBootPicture;
    system().copyFile(toStd(trimSpaces(f.SourceFile)), toStd(trimSpaces(f.TargetFile)));
    f.SourceFile.clear();
    f.TargetFile.clear();
    Command10->setVisible(true);
}

void AnimatedBootPage::onStep2() {
    const QString name = Combo2->currentText();
    // Every refusal comes before the boot picture is deleted, so that a wrong
    // name never leaves Windows without one.
    if (trimSpaces(name).isEmpty()) {
        ui().messageBox(kEnterCorrectPath, mb::Exclamation, form().windowTitle());
        return;
    }
    try {
        const QString staged = kDriveRoot + name;
        const QString picture = kPicturesFolder + name;
        requireCopyable(system(), trimSpaces(picture), trimSpaces(staged), kBootPicture);
        system().deleteFile(toStd(kBootPicture));
        Text5->setText(staged);
        Text8->setText(picture);
        Text6->setText(Text5->text());
        Form1& f = form();
        f.SourceFile = Text8->text();
        f.TargetFile = Text5->text();
        system().copyFile(toStd(trimSpaces(f.SourceFile)), toStd(trimSpaces(f.TargetFile)));
        f.SourceFile.clear();
        f.TargetFile.clear();
        Command11->setVisible(true);
    } catch (const Error& error) {
        if (error.number() == err::FileNotFound) ui().messageBox(kLogoNotFound, mb::OkOnly);
    }
}

void AnimatedBootPage::onStep3() {
    Form1& f = form();
    f.SourceFile = Text6->text();
    f.TargetFile = Text7->text();
    if (Text7->text() == kDriveRoot || Text6->text() == kDriveRoot) {
        ui().messageBox(kEnterCorrectPath, mb::Exclamation, f.windowTitle());
    } else {
        system().renameFile(toStd(f.SourceFile), toStd(f.TargetFile));
        ui().messageBox(QStringLiteral("Все! Не забудте перезагрузиться."), mb::Information,
                        f.windowTitle());
    }
    f.SourceFile.clear();
    f.TargetFile.clear();
    Text7->setText(kBootPicture);
}

void AnimatedBootPage::onOpenMsdosSys() {
    ShellRequest request;
    request.owner = 0;
    request.verb = "open";
    request.file = "C:\\Msdos.sys";
    request.parameters = std::string();
    request.directory = std::string();
    request.show = sw::ShowMaximized;
    system().shellExecute(request);
}

}  // namespace zarvo
