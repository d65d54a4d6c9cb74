// .ui files: the example form loaded at run time by QUiLoader, and rendered
// by `qbarcode form render` into PNG (the widget's pixels, as the control
// paints them), SVG and PDF that read back as the code the form holds.
#include "qt_test_support.h"

#include "qbarcode/qbdbbarcode.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <memory>

using namespace qb;

namespace {

const QString kForm = QStringLiteral(QB_SOURCE_DIR "/examples/qt_labels/labels.ui");

struct CommandRun {
    int code;
    QString output;
};

CommandRun Command(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(QB_COMMAND), args);
    p.waitForFinished(60000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAll())};
}

// The form as a program loads it, laid out as it shows.
std::unique_ptr<QWidget> LoadForm(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    qbtest::Loader loader;
    std::unique_ptr<QWidget> form(loader.load(&file));
    if (form) {
        form->setAttribute(Qt::WA_DontShowOnScreen);
        form->show();
    }
    return form;
}

TEST(UiForms, RenderedByTheCommandAsTheFormShows)
{
    std::unique_ptr<QWidget> form = LoadForm(kForm);
    ASSERT_TRUE(form);
    auto* barcode = form->findChild<QbDBBarcode*>(QStringLiteral("barcode"));
    ASSERT_NE(barcode, nullptr);
    EXPECT_TRUE(barcode->designing()) << "the plugin makes it as designed: the file's text shows";
    EXPECT_EQ(barcode->BarCode(), QStringLiteral("590123412345"));
    QFont crisp = barcode->font(); // the command's PNG captions
    crisp.setStyleStrategy(QFont::NoAntialias);
    barcode->setFont(crisp);

    QTemporaryDir dir;
    for (const char* ext : {"png", "svg", "pdf"}) {
        SCOPED_TRACE(ext);
        const QString out = dir.filePath(QStringLiteral("labels.") + QLatin1String(ext));
        const CommandRun run =
            Command({QStringLiteral("form"), QStringLiteral("render"), kForm, QStringLiteral("-o"), out});
        ASSERT_EQ(run.code, 0) << run.output.toStdString();
        EXPECT_EQ(run.output.toStdString(), "") << "Qt's session notes stay quiet";
        if (QLatin1String(ext) == QLatin1String("png")) {
            const QImage png(out);
            ASSERT_EQ(png.size(), form->size());
            EXPECT_EQ(qbtest::Decode(png).text, "5901234123457");
            // The widget's rectangle holds the control's raster exactly.
            const QImage shown = png.copy(barcode->geometry()).convertToFormat(QImage::Format_RGB32);
            const TBitmap& raster = barcode->control().Image();
            ASSERT_EQ(shown.size(), QSize(raster.Width(), raster.Height()));
            int differing = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    differing += (shown.pixel(x, y) & 0xFFFFFF) != raster.ScanLine(y)[x];
            EXPECT_EQ(differing, 0);
        } else if (QLatin1String(ext) == QLatin1String("svg")) {
            QFile svg(out);
            ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
            QXmlStreamReader xml(&svg);
            int rects = 0;
            while (!xml.atEnd())
                if (xml.readNext() == QXmlStreamReader::StartElement &&
                    (xml.name() == QLatin1String("rect") || xml.name() == QLatin1String("path")))
                    ++rects;
            EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
            EXPECT_GE(rects, 30) << "the bars as shapes";
        } else {
            const QImage page = qbtest::PdfPage(out);
            ASSERT_FALSE(page.isNull());
            EXPECT_EQ(qbtest::Decode(page).text, "5901234123457");
        }
    }
}

// Forms the command cannot render: it says why and writes nothing.
TEST(UiForms, RefusedFormsWriteNothing)
{
    QTemporaryDir dir;
    QFile source(kForm);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray form = source.readAll();
    struct Case {
        const char* name;
        QByteArray text;
        const char* message;
    } cases[] = {
        {"letters.ui", QByteArray(form).replace("590123412345", "5901234123AB"), "barcode: "},
        {"broken.ui", form.left(form.size() / 2), "not a form file"},
        {"empty.ui",
         "<ui version=\"4.0\"><widget class=\"qb::QbBarCode\" name=\"b\"><property name=\"geometry\"><rect><x>0</x>"
         "<y>0</y><width>0</width><height>0</height></rect></property></widget></ui>",
         "nothing to render"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString in = dir.filePath(QLatin1String(c.name));
        QFile file(in);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text);
        file.close();
        const QString out = dir.filePath(QStringLiteral("out.png"));
        const CommandRun run =
            Command({QStringLiteral("form"), QStringLiteral("render"), in, QStringLiteral("-o"), out});
        EXPECT_NE(run.code, 0);
        EXPECT_TRUE(run.output.contains(QLatin1String(c.message))) << run.output.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
        QFile::remove(out);
    }
}

} // namespace
