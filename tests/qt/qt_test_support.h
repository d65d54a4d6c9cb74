// What the Qt suites share: a .ui loader that finds the widgets through the
// built Designer plugin, as an application's QUiLoader finds the installed one.
#pragma once

#include "support/reader.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUiLoader>

#include <vector>

namespace qbtest {

struct Loader : QUiLoader {
    Loader()
    {
        clearPluginPaths();
        addPluginPath(QStringLiteral(QB_DESIGNER_PLUGIN_DIR));
    }
};

/// The one linear barcode on an image, read by ZXing.
inline testsupport::Decoded Decode(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    std::vector<const std::uint32_t*> rows;
    for (int y = 0; y < image.height(); ++y)
        rows.push_back(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)));
    return testsupport::ReadLinear(rows.data(), image.width(), image.height());
}

/// A page of a PDF file as an image (pdftoppm at `dpi`); null when it fails.
inline QImage PdfPage(const QString& pdf, int page = 1, int dpi = 200)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const QString n = QString::number(page);
    if (QProcess::execute(QStringLiteral("pdftoppm"),
                          {QStringLiteral("-png"), QStringLiteral("-singlefile"), QStringLiteral("-r"),
                           QString::number(dpi), QStringLiteral("-f"), n, QStringLiteral("-l"), n, pdf, prefix}) != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace qbtest
