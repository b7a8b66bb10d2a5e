#include "app/page.h"

#include "app/controls.h"
#include "app/form1.h"

namespace zarvo {

Page::Page(Form1& form, const QString& name, const QString& caption)
    : QGroupBox(caption, &form), form_(form) {
    setObjectName(name);
    setGeometry(twips(120, 120, 4335, 3015));
    setFont(msSansSerif(9.75, true));
}

ISystem& Page::system() const {
    return form_.system();
}
IUiServices& Page::ui() const {
    return form_.ui();
}

}  // namespace zarvo
