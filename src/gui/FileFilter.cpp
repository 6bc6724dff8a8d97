#include "gui/FileFilter.h"

#include <QRegularExpression>

namespace maroka::gui {

QStringList NameFilters(std::string_view filter)
{
    const QStringList parts = QString::fromUtf8(filter.data(), static_cast<qsizetype>(filter.size())).split(u'|');
    QStringList filters;
    QStringList labels;
    QStringList patternSets;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString label = parts[i].trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(u';')) {
            // QFileDialog separates patterns by blanks, so one with a blank
            // inside cannot be offered; the rest of the entry still works.
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty() && !trimmed.contains(u' ')) {
                patterns << trimmed;
            }
        }
        if (patterns.isEmpty()) {
            continue;
        }
        // The extension rule of the settings appends an all-files entry each
        // time it adds one; the dialog shows labels only, so an entry whose
        // label or patterns were already offered would show twice.
        const QString shown = label.isEmpty() ? patterns.join(u' ') : label;
        const QString patternSet = patterns.join(u' ');
        if (labels.contains(shown) || patternSets.contains(patternSet)) {
            continue;
        }
        labels << shown;
        patternSets << patternSet;
        filters << QStringLiteral("%1 (%2)").arg(shown, patternSet);
    }
    return filters;
}

QString FilterExtension(const QString& nameFilter)
{
    static const QRegularExpression lastGroup(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch match = lastGroup.match(nameFilter);
    if (!match.hasMatch()) {
        return {};
    }
    const QString first = match.captured(1).split(u' ', Qt::SkipEmptyParts).value(0);
    if (!first.startsWith(QStringLiteral("*."))) {
        return {};
    }
    const QString extension = first.mid(2);
    static const QRegularExpression wildcard(QStringLiteral("[*?\\[\\]]"));
    if (extension.isEmpty() || extension.contains(wildcard)) {
        return {};
    }
    return extension;
}

QString WithExtension(const QString& fileName, const QString& extension)
{
    if (fileName.isEmpty() || fileName.endsWith(u'.') || extension.isEmpty()) {
        return fileName;
    }
    const qsizetype slash = fileName.lastIndexOf(u'/');
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // A leading dot names a hidden file, not an extension.
    const bool hasExtension = dot > slash + 1;
    const QString stem = hasExtension ? fileName.left(dot) : fileName;
    return stem + u'.' + extension;
}

} // namespace maroka::gui
