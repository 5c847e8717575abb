// The quiet libtiff handlers: while any guard lives, on whatever thread, libtiff reports to nobody; the last
// guard to end puts back what was installed before.

#include "quiettiffhandlers.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstdarg>
#include <memory>

namespace {

int g_errors = 0;
int g_errorsExt = 0;

void CountError(const char*, const char*, va_list) { ++g_errors; }
void CountErrorExt(thandle_t, const char*, const char*, va_list) { ++g_errorsExt; }
void CountWarning(const char*, const char*, va_list) {}
void CountWarningExt(thandle_t, const char*, const char*, va_list) {}

// Installed handlers, each put back as it was.
struct Installed {
    TIFFErrorHandler error, warning;
    TIFFErrorHandlerExt errorExt, warningExt;
};

Installed Peek()
{
    Installed now{TIFFSetErrorHandler(nullptr), TIFFSetWarningHandler(nullptr), TIFFSetErrorHandlerExt(nullptr),
                  TIFFSetWarningHandlerExt(nullptr)};
    TIFFSetErrorHandler(now.error);
    TIFFSetWarningHandler(now.warning);
    TIFFSetErrorHandlerExt(now.errorExt);
    TIFFSetWarningHandlerExt(now.warningExt);
    return now;
}

} // namespace

class TestTiffGuard : public QObject
{
    Q_OBJECT

private slots:
    void guardsEndInAnyOrder_data()
    {
        QTest::addColumn<bool>("firstEndsFirst");
        QTest::newRow("nested") << false;
        QTest::newRow("overlapping, as on two threads") << true;
    }

    void guardsEndInAnyOrder()
    {
        QFETCH(bool, firstEndsFirst);
        QTemporaryDir dir;
        const QByteArray missing = QFile::encodeName(dir.filePath("missing.tif"));
        const auto failOpen = [&missing] { // a libtiff error
            if (TIFF* tif = TIFFOpen(missing.constData(), "r"))
                TIFFClose(tif);
        };
        const Installed before{TIFFSetErrorHandler(&CountError), TIFFSetWarningHandler(&CountWarning),
                               TIFFSetErrorHandlerExt(&CountErrorExt), TIFFSetWarningHandlerExt(&CountWarningExt)};
        g_errors = g_errorsExt = 0;

        auto first = std::make_unique<QuietTiffHandlers>();
        auto second = std::make_unique<QuietTiffHandlers>();
        (firstEndsFirst ? first : second).reset();
        const Installed quiet = Peek();
        QVERIFY(!quiet.error && !quiet.warning && !quiet.errorExt && !quiet.warningExt);
        failOpen();
        QCOMPARE(g_errors, 0);
        QCOMPARE(g_errorsExt, 0);

        first.reset();
        second.reset();
        const Installed after = Peek();
        QVERIFY(after.error == &CountError && after.warning == &CountWarning);
        QVERIFY(after.errorExt == &CountErrorExt && after.warningExt == &CountWarningExt);
        failOpen();
        QCOMPARE(g_errors, 1);
        QCOMPARE(g_errorsExt, 1);

        TIFFSetErrorHandler(before.error);
        TIFFSetWarningHandler(before.warning);
        TIFFSetErrorHandlerExt(before.errorExt);
        TIFFSetWarningHandlerExt(before.warningExt);
    }
};

QTEST_GUILESS_MAIN(TestTiffGuard)
#include "tst_tiffguard.moc"
