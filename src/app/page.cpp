#include "app/page.h"

#include "app/controls.h"
#include "app/form1.h"
#include "platform/ui_services.h"

namespace zarvo {

Page::Page(Form1& form, const QString& name, const QString& caption)
    : QGroupBox(caption, &form), form_(form) {
    setObjectName(name);
    setGeometry(twips(120, 120, 4335, 3015));
    setFont(msSansSerif(9.75, true));
}

std::optional<QImage> Page::loadPreview(const QString& windowsPath) {
    try {
        return ui().loadPicture(windowsPath);
    } catch (const Error& error) {
        if (error.number() == err::InvalidPicture)
            ui().messageBox(QStringLiteral("Испорчена картинка"), mb::OkOnly);
        return std::nullopt;
    }
}

ISystem& Page::system() const {
    return form_.system();
}
IUiServices& Page::ui() const {
    return form_.ui();
}

}  // namespace zarvo
