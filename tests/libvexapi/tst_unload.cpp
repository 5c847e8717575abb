// Unloading libvexapi closes the devices it opened.
#include "simbus.h"
#include "vexapi.h"

#include <QtTest>

#include <dlfcn.h>

class TestUnload : public QObject {
    Q_OBJECT

private slots:
    void unloadClosesDevices()
    {
        simbus::OneInstrument();
        const QByteArray path = QFile::encodeName(QCoreApplication::applicationDirPath() + "/libvexapi.so");
        void* library = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto open = reinterpret_cast<int (*)(VEX_HANDLE*)>(dlsym(library, "VexOpenDevice"));
        auto setRemote = reinterpret_cast<int (*)(VEX_HANDLE, int)>(dlsym(library, "VexSetRemoteMode"));
        QVERIFY(open && setRemote);
        VEX_HANDLE h = nullptr;
        QCOMPARE(open(&h), 0);
        QCOMPARE(setRemote(h, 1), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 2);
        VexSim_ClearLog();
        QCOMPARE(dlclose(library), 0);
        QCOMPARE(VexSim_OpenHandleCount(), 0);
        QCOMPARE(simbus::Log(VEXSIM_LOG_CLOSE).size(), std::size_t(2));
        QVERIFY(!simbus::RemoteOffSent());
    }
};

QTEST_GUILESS_MAIN(TestUnload)
#include "tst_unload.moc"
