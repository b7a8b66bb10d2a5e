#include "pages/screens/animated_boot_page.h"

#include <QFontMetrics>
#include <algorithm>
#include <initializer_list>

#include "changes/program_folder.h"
#include "pages/screens/boot_pictures.h"
#include "pages/screens/steps.h"
#include "system/error.h"
#include "system/system.h"
#include "ui/host_folders.h"
#include "ui/ui_services.h"

namespace zarvo {

namespace {

const QString kRoot = fromStd(kDriveRoot);
const QString kPicturesFolder = QString::fromStdString(programfolder::picturesFolder() + "\\");
const QString kBootPicture = QString::fromStdString(kBootScreen.path());
const QString kBuiltInPreview = QStringLiteral(":/previews/animated.bmp");

const QString kEnterCorrectPath = QStringLiteral("Введите корректный путь.");

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

// Whether a typed name can only mean a file right in the pictures folder. A
// separator, a drive or stream colon, or a name of dots alone (".", "..",
// and "..." which Windows reads as the folder itself) would reach another
// folder, and wildcards or control characters name no file at all.
bool isBareFileName(const QString& name) {
    static const QString kForbidden = QStringLiteral("\\/:*?\"<>|");
    bool onlyDots = true;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || kForbidden.contains(c)) return false;
        if (c != QLatin1Char('.')) onlyDots = false;
    }
    return !name.isEmpty() && !onlyDots;
}

}  // namespace

AnimatedBootPage::AnimatedBootPage(PageContext& context, QWidget* parent)
    : Page(context, parent, QStringLiteral("Frame5"),
           QStringLiteral("Картинка загрузки.Анимация")) {
    QStringList names;
    for (std::string_view name : kBootPictureNames)
        names << QString::fromLatin1(name.data(), qsizetype(name.size()));
    pictureList = makeComboBox(this, QStringLiteral("Combo2"), twips(120, 360, 1575, 315), names,
                               int(names.size()) - 1);

    stagedField = addPathField(QStringLiteral("Text5"), twips(120, 360, 495, 285), kRoot);
    checkLabel = makeInstructionLabel(this, QStringLiteral("Label4"),
                                      QStringLiteral("Проверте установлена запись в файле  "),
                                      twips(120, 720, 1575, 615));
    sourceField = addPathField(QStringLiteral("Text6"), twips(120, 720, 495, 285), kRoot);
    targetField = addPathField(QStringLiteral("Text7"), twips(120, 1080, 495, 285), kBootPicture);
    msdosButton = makeButton(this, QStringLiteral("Command12"), QStringLiteral("MSDOS.SYS"),
                             twips(120, 1320, 1455, 375));
    pictureField =
        addPathField(QStringLiteral("Text8"), twips(120, 1440, 495, 285), kPicturesFolder);
    stepsLabel = makeInstructionLabel(
        this, QStringLiteral("Label1"),
        QStringLiteral("в разделе [Options] Logo=1. Если нет установите и нажмите на кнопку "),
        twips(120, 1680, 1575, 975));
    step1 = makeButton(this, QStringLiteral("Command9"), QStringLiteral("1"),
                       twips(120, 2640, 375, 255), colors::kGreen);
    step2 = makeButton(this, QStringLiteral("Command10"), QStringLiteral("2"),
                       twips(600, 2640, 375, 255), colors::kYellow);
    step3 = makeButton(this, QStringLiteral("Command11"), QStringLiteral("3"),
                       twips(1080, 2640, 375, 255), colors::kRed);
    preview = new AnimatedPictureBox(this, QStringLiteral("Image4"), twips(1800, 360, 2175, 2535));
    preview->setDeferredPicture([] { return builtInPicture(kBuiltInPreview); },
                                [] { return readPaletteBandStart(kBuiltInPreview); });

    // A list choice previews; typing in the text line does not.
    connect(pictureList, &QComboBox::activated, this,
            [this](int) { runHandler(ui(), [this] { onPictureChosen(); }); });
    onClick(step1, [this] { onStep1(); });
    onClick(step2, [this] { onStep2(); });
    onClick(step3, [this] { onStep3(); });
    onClick(msdosButton, [this] { onOpenMsdosSys(); });
}

void AnimatedBootPage::showEvent(QShowEvent* event) {
    // Measuring wrapped text is slow, and a page that is never shown needs
    // none of it.
    if (!labelsFitted_) {
        fitInstructionLabels({checkLabel, stepsLabel});
        labelsFitted_ = true;
    }
    Page::showEvent(event);
}

void AnimatedBootPage::onPictureChosen() {
    // Always the pictures folder: after a step "2" pictureField holds a picture's
    // full path, which no longer leads to the others.
    const QString path = kPicturesFolder + pictureList->currentText();
    if (auto picture = loadPreview(path)) {
        const int bandStart =
            readPaletteBandStart(QString::fromStdString(system().hostPath(toStd(path))));
        preview->setPicture(*picture, bandStart);
    }
}

void AnimatedBootPage::load() {
    Page::load();
    // Step "1" is where the page starts; each step shows the next.
    step2->setVisible(false);
    step3->setVisible(false);
}

void AnimatedBootPage::onStep1() {
    steps_.putProgramCopy(system());
    step2->setVisible(true);
}

void AnimatedBootPage::onStep2() {
    // The name the copies have always used: trailing spaces go, as the copy
    // trims its paths; leading ones stay part of the name.
    const QString name =
        trimSpaces(kPicturesFolder + pictureList->currentText()).mid(kPicturesFolder.size());
    // Every refusal comes before the boot picture is touched, so that a wrong
    // name never leaves Windows without one.
    if (name.isEmpty()) {
        ui().messageBox(kEnterCorrectPath, mb::Exclamation, windowCaption());
        return;
    }
    runStep2(Step2Page::AnimatedBoot, ui(), [&] {
        // Only the program's own pictures install from here; a name that
        // leads elsewhere is no picture of that folder.
        if (!isBareFileName(name)) throw Error(err::FileNotFound);
        const QString picture = kPicturesFolder + name;
        const std::string staged =
            steps_.stagingPath(system(), toStd(picture), toStd(kRoot + name));
        steps_.stage(system(), toStd(picture), staged);
        stagedField->setText(QString::fromStdString(staged));
        pictureField->setText(picture);
        sourceField->setText(QString::fromStdString(staged));
        step3->setVisible(true);
    });
}

void AnimatedBootPage::onStep3() {
    if (targetField->text() == kRoot || sourceField->text() == kRoot) {
        ui().messageBox(kEnterCorrectPath, mb::Exclamation, windowCaption());
    } else {
        steps_.install(system(), toStd(targetField->text()));
        ui().messageBox(QStringLiteral("Все! Не забудте перезагрузиться."), mb::Information,
                        windowCaption());
    }
    targetField->setText(kBootPicture);
}

QString AnimatedBootPage::noTextEditorMessage() {
    const QString file = fromStd(kMsdosSys);
    QString text = QStringLiteral("Нечем открыть %1: нет программы xdg-open.\n").arg(file);
    // Where the host keeps it, for an editor of the user's own; not when it
    // is a temporary copy of a file inside an image, which editing would not
    // change.
    try {
        const QString host = QString::fromStdString(system().hostPath(toStd(file)));
        if (host != file && !isTemporaryHostPath(host))
            text += QStringLiteral("Файл: %1\n").arg(host);
    } catch (const Error&) {
        // No drive C: to point to.
    }
    return text + QStringLiteral("Установите пакет xdg-utils.");
}

void AnimatedBootPage::onOpenMsdosSys() {
    if (!system().opensDocuments()) {
        ui().messageBox(noTextEditorMessage(), mb::Exclamation, windowCaption());
        return;
    }
    ShellRequest request;
    request.owner = 0;
    request.verb = "open";
    request.file = kMsdosSys;
    request.parameters = std::string();
    request.directory = std::string();
    request.show = sw::ShowMaximized;
    system().shellExecute(request);
}

}  // namespace zarvo
