#include "widgets/page.h"

#include "pictures/picture_file.h"
#include "ui/ui_services.h"
#include "widgets/controls.h"

namespace zarvo {

Page::Page(PageContext& context, QWidget* parent, const QString& name, const QString& caption)
    : QGroupBox(caption, parent), context_(context) {
    setObjectName(name);
    setGeometry(twips(120, 120, 4335, 3015));
    setFont(msSansSerif(9.75, true));
}

void Page::load() {
    for (PathField* field : pathFields_) field->setVisible(false);
}

QString Page::windowCaption() const {
    return window()->windowTitle();
}

PathField* Page::addPathField(const QString& name, const QRect& geometry, const QString& text) {
    auto* field = new PathField(this, name, geometry, text);
    pathFields_.append(field);
    return field;
}

const QString Page::kPicturesFilter = QStringLiteral(
    "Рисунки(*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg)|"
    "*.jpg;*.jpeg;*.png;*.webp;*.gif;*.tif;*.tiff;*.svg|");
const QString Page::kScreenFilesFilter = QStringLiteral("Заставки(*.sys)|*.sys|");

void Page::showOpenAdding(CommonDialog& dialog, const QString& added) {
    const QString defined = dialog.filter();
    dialog.setFilter(defined + added);
    ui().showOpen(dialog, window());
    dialog.setFilter(defined);
}

std::optional<QImage> Page::loadPreview(const QString& windowsPath, QSize box) {
    try {
        return ui().loadPicture(windowsPath, box);
    } catch (const Error& error) {
        if (error.number() == err::InvalidPicture)
            ui().messageBox(QStringLiteral("Испорчена картинка"), mb::OkOnly);
        return std::nullopt;
    } catch (const PictureError& error) {
        // A fine picture too large to decode is no damaged one.
        ui().messageBox(QStringLiteral("Слишком большая картинка: %1 x %2 точек")
                            .arg(error.size().width())
                            .arg(error.size().height()),
                        mb::Exclamation);
        return std::nullopt;
    }
}

}  // namespace zarvo
