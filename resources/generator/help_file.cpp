#include "help_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "formats/winhelp_writer.h"

namespace zarvo::resgen {

namespace {

constexpr const char* kContents = "contents";

// When the help was written: SOURCE_DATE_EPOCH for a reproducible build,
// else the newest source text.
std::uint32_t generatedAt(const QFileInfoList& sources) {
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch)
        return static_cast<std::uint32_t>(std::strtoul(epoch, nullptr, 10));
    qint64 newest = 0;
    for (const QFileInfo& source : sources)
        newest = std::max(newest, source.lastModified().toSecsSinceEpoch());
    return static_cast<std::uint32_t>(newest);
}

}  // namespace

QByteArray helpFile(const QStringList& sourceFiles) {
    // By name, so that the file comes out the same whatever order the build
    // lists the texts in.
    QFileInfoList sources;
    for (const QString& file : sourceFiles) sources.append(QFileInfo(file));
    std::sort(sources.begin(), sources.end(),
              [](const QFileInfo& a, const QFileInfo& b) { return a.fileName() < b.fileName(); });
    std::vector<winhelp::Topic> topics;
    for (const QFileInfo& source : sources) {
        QFile file(source.filePath());
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error("cannot read " + source.filePath().toStdString());
        const QByteArray text = file.readAll();
        topics.push_back(winhelp::parseTopic(source.completeBaseName().toStdString(),
                                             std::string_view(text.constData(), text.size())));
    }

    // The contents first, then the topics in the order the contents lists
    // them, then any it does not list.
    const auto contents = std::find_if(topics.begin(), topics.end(),
                                       [](const winhelp::Topic& t) { return t.id == kContents; });
    if (contents == topics.end()) throw std::runtime_error("no contents.txt among the help texts");
    std::vector<std::string> order = {kContents};
    for (const winhelp::Paragraph& paragraph : contents->paragraphs)
        for (const winhelp::Span& span : paragraph.spans)
            if (!span.target.empty() &&
                std::find(order.begin(), order.end(), span.target) == order.end())
                order.push_back(span.target);
    auto rank = [&](const winhelp::Topic& topic) {
        return std::find(order.begin(), order.end(), topic.id) - order.begin();
    };
    std::stable_sort(topics.begin(), topics.end(),
                     [&](const auto& a, const auto& b) { return rank(a) < rank(b); });

    winhelp::Source source;
    source.title = "Zarvo";
    source.topics = std::move(topics);
    source.generated = generatedAt(sources);
    const std::string bytes = winhelp::write(source);
    return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

}  // namespace zarvo::resgen
