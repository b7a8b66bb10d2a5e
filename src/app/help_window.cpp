#include "app/help_window.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QPointer>
#include <QPushButton>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

#include "system/system.h"
#include "ui/ui_services.h"
#include "widgets/controls.h"

namespace zarvo {

namespace {

QPointer<HelpWindow> theWindow;

const QString kJumpScheme = QStringLiteral("topic");
// The colour Windows Help gives its jumps.
const QString kJumpColour = QStringLiteral("#008000");

QString runHtml(const winhelp::Shown& run) {
    QString text = QString::fromStdString(run.text).toHtmlEscaped();
    text.replace(QLatin1Char('\n'), QStringLiteral("<br/>"));
    text.replace(QLatin1Char('\t'), QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;"));
    QString style = QStringLiteral("font-size:%1pt;").arg(run.halfPoints / 2.0);
    if (run.bold) style += QStringLiteral("font-weight:bold;");
    if (run.jump && run.topic >= 0)
        return QStringLiteral("<a href=\"%1:%2\" style=\"color:%3;%4\">%5</a>")
            .arg(kJumpScheme)
            .arg(run.topic)
            .arg(kJumpColour, style, text);
    return QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text);
}

}  // namespace

void HelpWindow::open(IUiServices& ui, const QString& hostPath, int show) {
    winhelp::Document document;
    QString reason;
    try {
        QFile file(hostPath);
        if (!file.open(QIODevice::ReadOnly))
            throw winhelp::FormatError("Файл справки не читается.");
        const QByteArray bytes = file.readAll();
        document = winhelp::read(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    } catch (const winhelp::FormatError& error) {
        reason = QString::fromUtf8(error.what());
    } catch (const std::exception&) {
        reason = QStringLiteral("Файл справки поврежден.");
    }
    // As Windows Help does, the viewer says why it shows nothing.
    if (!reason.isEmpty()) {
        ui.messageBox(QStringLiteral("Не удается открыть файл справки %1.\n%2")
                          .arg(QFileInfo(hostPath).fileName(), reason),
                      mb::Exclamation);
        return;
    }

    if (!theWindow) theWindow = new HelpWindow();
    HelpWindow* window = theWindow;
    window->setDocument(std::move(document));
    if (show == sw::ShowMaximized)
        window->showMaximized();
    else if (!window->isVisible())
        window->show();
    window->raise();
    window->activateWindow();
}

HelpWindow* HelpWindow::instance() {
    return theWindow;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(builtInIcon(QStringLiteral(":/icons/help.ico")));
    resize(640, 480);

    contentsButton_ = new QPushButton(QStringLiteral("Содержание"), this);
    contentsButton_->setObjectName(QStringLiteral("contentsButton"));
    backButton_ = new QPushButton(QStringLiteral("Назад"), this);
    backButton_->setObjectName(QStringLiteral("backButton"));
    view_ = new QTextBrowser(this);
    view_->setObjectName(QStringLiteral("topicView"));
    view_->setOpenLinks(false);
    view_->setFont(QFont(QStringLiteral("Arial")));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton_);
    buttons->addWidget(backButton_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(buttons);
    layout->addWidget(view_);

    connect(contentsButton_, &QPushButton::clicked, this, &HelpWindow::showContents);
    connect(backButton_, &QPushButton::clicked, this, &HelpWindow::back);
    connect(view_, &QTextBrowser::anchorClicked, this, &HelpWindow::followLink);
    auto* backKey = new QShortcut(QKeySequence::Back, this);
    connect(backKey, &QShortcut::activated, this, &HelpWindow::back);
}

void HelpWindow::setDocument(winhelp::Document document) {
    document_ = std::move(document);
    const QString title = QString::fromStdString(document_.title);
    setWindowTitle(QStringLiteral("Справка: ") +
                   (title.isEmpty() ? QStringLiteral("Zarvo") : title));
    history_.clear();
    current_ = -1;
    showTopic(document_.contents);
}

void HelpWindow::showTopic(int topic) {
    if (topic < 0 || topic >= int(document_.topics.size())) return;
    if (current_ >= 0 && current_ != topic) history_.push_back(current_);
    current_ = topic;
    render();
}

void HelpWindow::showContents() {
    showTopic(document_.contents);
}

void HelpWindow::back() {
    if (history_.empty()) return;
    current_ = history_.back();
    history_.pop_back();
    render();
}

void HelpWindow::render() {
    QString html;
    for (const winhelp::ShownParagraph& paragraph : document_.topics[current_].paragraphs) {
        html += QStringLiteral("<p style=\"margin-top:6px; margin-bottom:0px;\">");
        for (const winhelp::Shown& run : paragraph.runs) html += runHtml(run);
        html += QStringLiteral("</p>");
    }
    view_->setHtml(html);
    backButton_->setEnabled(!history_.empty());
}

void HelpWindow::followLink(const QUrl& link) {
    bool ok = false;
    const int topic = link.path().toInt(&ok);
    if (link.scheme() == kJumpScheme && ok) showTopic(topic);
}

}  // namespace zarvo
