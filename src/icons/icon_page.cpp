#include "icons/icon_page.h"

#include "icons/slot_catalogue.h"

namespace zarvo {

IconPage::IconPage(Form1& form) : Page(form, QStringLiteral("Frame1"), QStringLiteral("Icon")) {
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(twips(120, 240, 2655, 315));
    Combo1->setFont(msSansSerif(8.25));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    for (const IconSlot& slot : kIconSlots)
        Combo1->addItem(QString::fromUtf8(slot.listText.data(), qsizetype(slot.listText.size())));
    Combo1->setCurrentIndex(0);

    Image1 = new PictureBox(this, QStringLiteral("Image1"), twips(2880, 240, 480, 480), false);
    Image1->setDeferredPicture([] { return builtInPicture(QStringLiteral(":/icons/image1.ico")); });

    Option4 = new QRadioButton(QStringLiteral("ico"), this);
    Option4->setObjectName(QStringLiteral("Option4"));
    Option4->setGeometry(twips(120, 600, 615, 255));
    Option4->setFont(msSansSerif(8.25, true));
    Option5 = new QRadioButton(QStringLiteral("bmp"), this);
    Option5->setObjectName(QStringLiteral("Option5"));
    Option5->setGeometry(twips(840, 600, 735, 255));
    Option5->setFont(msSansSerif(8.25, true));

    Command1 = makeButton(this, QStringLiteral("Command1"), QStringLiteral("Открыть"),
                          twips(120, 850, 1335, 315));
    Image6 = new PictureBox(this, QStringLiteral("Image6"), twips(2040, 840, 1815, 2055), true);
    Image6->setDeferredPicture([size = Image6->size()] {
        return builtInPicture(QStringLiteral(":/previews/icons.jpg"), size);
    });
    Command2 = makeButton(this, QStringLiteral("Command2"), QStringLiteral("Выполнить"),
                          twips(120, 1320, 1335, 315));
    Text1 = makeField(this, QStringLiteral("Text1"), twips(1560, 1440, 375, 375), QString());
    Text2 = makeField(this, QStringLiteral("Text2"), twips(1560, 1920, 375, 375), QString());
    Text9 = makeField(this, QStringLiteral("Text9"), twips(120, 2400, 615, 375),
                      QStringLiteral(".ico"));
    Text3 = makeField(this, QStringLiteral("Text3"), twips(960, 2400, 975, 375),
                      QStringLiteral("C:\\Program Files\\Zarvo\\ico\\1.ico"));
    Command25 = makeButton(this, QStringLiteral("Command25"), QStringLiteral("Перезагрузить"),
                           twips(120, 2520, 1815, 315), colors::kRed);

    CommonDialog1 =
        new CommonDialog(QStringLiteral("CommonDialog1"),
                         QStringLiteral("Icon(*.ico)|*.ico|Bitmap(*.bmp)|*.bmp|"), this);
}

}  // namespace zarvo
