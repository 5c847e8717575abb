#include "app/startup.h"
#include "files/outputimage.h"

#include "qtsingleapplication.h"

namespace {

constexpr int kSecondStartTimeoutMs = 5000;

} // namespace

int main(int argc, char *argv[])
{
    // Before the application object exists, as the image library wants.
    COutputImage::InitializeImageLibrary(argc > 0 ? argv[0] : nullptr);

    // The id, not the application name: the name is set only once the program knows it is the only instance.
    QtSingleApplication app(QStringLiteral("Varemo"), argc, argv);
    if (app.isRunning())
        return app.sendMessage(QString(), kSecondStartTimeoutMs) ? 0 : -1;
    return RunApplication(app);
}
