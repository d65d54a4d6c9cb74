// The example label window driven as a user drives it: navigation, a code
// typed into the field (the barcode follows), a refused code, Print through
// the print dialog into a PDF file; the database keeps exactly the edits the
// barcode took.
#include "qt_test_support.h"

#include "label_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <map>

using namespace qb;

namespace {

// The products table: id -> code.
std::map<int, QString> Codes(const QString& file)
{
    std::map<int, QString> codes;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(QStringLiteral("SELECT id, code FROM products"), db);
            while (q.next())
                codes[q.value(0).toInt()] = q.value(1).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return codes;
}

// What ZXing reads for a 12-digit EAN-13 code: the code and its check digit.
QString WithCheckDigit(const QString& twelve)
{
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += (twelve[i].digitValue()) * (i % 2 ? 3 : 1);
    return twelve + QString::number((10 - sum % 10) % 10);
}

TEST(LabelsApp, NavigateEditRefusePrint)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("products.db"));
    QProcess sqlite;
    sqlite.setStandardInputFile(QStringLiteral(QB_SAMPLE_PRODUCTS));
    sqlite.start(QStringLiteral("sqlite3"), {file});
    ASSERT_TRUE(sqlite.waitForFinished() && sqlite.exitCode() == 0) << "sqlite3 builds the sample database";
    const std::map<int, QString> before = Codes(file);
    ASSERT_GE(before.size(), 3u);

    std::map<int, QString> expected = before;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        LabelWindow window(db);
        window.show();
        auto* barcode = window.findChild<QbDBBarcode*>(QStringLiteral("barcode"));
        auto* name = window.findChild<QLabel*>(QStringLiteral("name"));
        auto* code = window.findChild<QLineEdit*>(QStringLiteral("code"));
        auto* error = window.findChild<QLabel*>(QStringLiteral("error"));
        auto* next = window.findChild<QPushButton*>(QStringLiteral("next"));
        auto* print = window.findChild<QPushButton*>(QStringLiteral("print"));
        ASSERT_TRUE(barcode && name && code && error && next && print);

        EXPECT_EQ(barcode->BarCode(), before.at(1));
        EXPECT_EQ(code->text(), before.at(1));
        QTest::mouseClick(next, Qt::LeftButton);
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(barcode->BarCode(), before.at(3));
        EXPECT_EQ(name->text(), QStringLiteral("Apple juice 1 l"));

        // Typed over: the barcode follows each keystroke, the record keeps the last.
        code->selectAll();
        QTest::keyClicks(code, QStringLiteral("871234567899"));
        EXPECT_EQ(barcode->BarCode(), QStringLiteral("871234567899"));
        EXPECT_TRUE(error->text().isEmpty()) << error->text().toStdString();
        expected[3] = QStringLiteral("871234567899");
        // A letter: refused, shown, not stored.
        QTest::keyClicks(code, QStringLiteral("X"));
        EXPECT_FALSE(error->text().isEmpty());
        EXPECT_EQ(barcode->BarCode(), QStringLiteral("871234567899"));

        // The next record, printed through the dialog into a PDF file.
        QTest::mouseClick(next, Qt::LeftButton);
        EXPECT_EQ(code->text(), before.at(4));
        EXPECT_TRUE(error->text().isEmpty());
        const QString pdf = dir.filePath(QStringLiteral("label.pdf"));
        window.printer().setOutputFormat(QPrinter::PdfFormat);
        window.printer().setOutputFileName(pdf);
        bool dialogShown = false;
        QTimer::singleShot(0, [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                dialogShown = true;
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        QTest::mouseClick(print, Qt::LeftButton);
        EXPECT_TRUE(dialogShown);
        const QImage page = qbtest::PdfPage(pdf);
        ASSERT_FALSE(page.isNull());
        EXPECT_EQ(qbtest::Decode(page).text, WithCheckDigit(before.at(4)).toStdString());
    }
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);
    EXPECT_EQ(Codes(file), expected);
}

} // namespace
