#include "screens/animated_boot_page.h"

#include "screens/boot_pictures.h"

namespace zarvo {

namespace {

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

}  // namespace

AnimatedBootPage::AnimatedBootPage(Form1& form)
    : Page(form, QStringLiteral("Frame5"), QStringLiteral("Картинка загрузки.Анимация")) {
    Combo2 = new QComboBox(this);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setGeometry(twips(120, 360, 1575, 315));
    Combo2->setFont(msSansSerif(8.25));
    Combo2->setEditable(true);
    Combo2->setInsertPolicy(QComboBox::NoInsert);
    for (std::string_view name : kBootPictureNames)
        Combo2->addItem(QString::fromLatin1(name.data(), qsizetype(name.size())));
    Combo2->setCurrentIndex(Combo2->count() - 1);

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
    Image4 = new PictureBox(this, QStringLiteral("Image4"), twips(1800, 360, 2175, 2535), true);
    Image4->setDeferredPicture(
        [] { return builtInPicture(QStringLiteral(":/previews/animated.bmp")); });
}

}  // namespace zarvo
