// Rank polygons: validity, (T, duv) conversion, point in polygon and classification.
#include "rank.h"
#include "vexapi_codes.h"
#include "colorcore.h"
#include "vexcolor.h"

#include "generated/isotemperature.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <vector>

using namespace vexapi;

namespace {

// Held so that its address can be taken inline.
VexRankData g_polygon;

const VexRankData* Polygon(std::initializer_list<float> xy, const char* name = "R")
{
    VexRankData& r = g_polygon;
    r = VexRankData{};
    std::strcpy(r.name, name);
    int i = 0;
    for (float v : xy)
        r.xy[i++] = v;
    r.vertexCount = i / 2;
    r.flag = 1;
    return &r;
}

}  // namespace

class TestRank : public QObject {
    Q_OBJECT
private slots:
    void setChecks()
    {
        cRank rank;
        QCOMPARE(rank.Set(Polygon({0.3f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f}), 0), 0);
        QCOMPARE(rank.Set(Polygon({0.3f, 0.3f, 0.4f, 0.3f}), 0), RankCode::kBadPolygon);
        VexRankData eleven = *Polygon({0.3f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f});
        eleven.vertexCount = 11;
        QCOMPARE(rank.Set(&eleven, 0), RankCode::kBadPolygon);
        QCOMPARE(rank.Set(Polygon({0.0f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f}), 0), RankCode::kBadPolygon);
        QCOMPARE(rank.Set(Polygon({1.0f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f}), 0), RankCode::kBadPolygon);
        const int bowTie = rank.Set(Polygon({0.3f, 0.3f, 0.4f, 0.4f, 0.4f, 0.3f, 0.3f, 0.4f}), 1);
        QVERIFY(bowTie == RankCode::kClosingEdgeCrosses || bowTie == RankCode::kNewEdgeCrosses);
        VexRankData flag = *Polygon({0.3f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f});
        flag.flag = 2;
        QCOMPARE(rank.Set(&flag, 0), RankCode::kBadFlag);
        VexRankData forty = *Polygon({0.3f, 0.3f, 0.4f, 0.3f, 0.35f, 0.4f});
        std::memset(forty.name, 'a', 40);
        QCOMPARE(rank.Set(&forty, 0), 0);
        forty.name[40] = 'a';
        QCOMPARE(rank.Set(&forty, 0), RankCode::kLongName);
    }

    void tduvRange_data()
    {
        QTest::addColumn<double>("t");
        QTest::addColumn<double>("duv");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1563 K") << 1563.0 << 0.0 << true;
        QTest::newRow("1562.9 K") << 1562.9 << 0.0 << false;
        QTest::newRow("99999 K") << 99999.0 << 0.0 << true;
        QTest::newRow("100000 K") << 100000.0 << 0.0 << false;
        QTest::newRow("duv 0.1") << 5000.0 << 0.1 << true;
        QTest::newRow("duv -0.1") << 5000.0 << -0.1 << true;
        QTest::newRow("duv 0.1001") << 5000.0 << 0.1001 << false;
    }
    void tduvRange()
    {
        QFETCH(double, t);
        QFETCH(double, duv);
        QFETCH(bool, accepted);
        double x = 0, y = 0;
        QCOMPARE(cRank::TduvToXy(t, duv, 0, &x, &y), accepted);
    }

    void tduvRoundTrip()
    {
        for (double t = 1600; t <= 20000; t *= 1.17) {
            for (double duv : {-0.05, 0.0, 0.05}) {
                double x = 0, y = 0;
                QVERIFY(cRank::TduvToXy(t, duv, 0, &x, &y));
                // libvexcolor's isotemperature evaluation, the heart of its type 9.
                double back = 0, backDuv = 0;
                QCOMPARE(vexcolor::isotemperatureTcp(x, y, 0, back, backDuv), 0);
                QVERIFY2(std::fabs(back - t) <= 0.002 * t, qPrintable(QString("%1 %2").arg(t).arg(back)));
                QVERIFY2(std::fabs(backDuv - duv) <= 1e-4, qPrintable(QString("%1 %2").arg(duv).arg(backDuv)));
            }
        }
    }

    void pointInPolygon()
    {
        const float square[] = {0.2f, 0.2f, 0.6f, 0.2f, 0.6f, 0.6f, 0.2f, 0.6f};
        QVERIFY(cRank::PointInPolygon(square, 4, 0.4, 0.4));
        QVERIFY(!cRank::PointInPolygon(square, 4, 0.7, 0.4));
        QVERIFY(cRank::PointInPolygon(square, 4, 0.6, 0.4));  // on an edge
        // The probe towards (0, 0) runs through the vertex (0.2, 0.2).
        QVERIFY(cRank::PointInPolygon(square, 4, 0.3, 0.3));
        QVERIFY(!cRank::PointInPolygon(square, 4, 0.1, 0.1));
        // P = (0, 0): the probe goes to (1, 1) instead.
        const float around[] = {-0.1f, -0.1f, 0.1f, -0.1f, 0.1f, 0.1f, -0.1f, 0.1f};
        QVERIFY(cRank::PointInPolygon(around, 4, 0.0, 0.0));
    }

    void probeNudgesAreBounded_data()
    {
        QTest::addColumn<int>("blocked");
        QTest::addColumn<bool>("inside");
        // The probe from (0.5, 0.5) towards (k x 1e-5, 0) crosses y = 0.25 at x = 0.25 + k x 5e-6: a
        // vertex sits there for every k < blocked. The point lies inside the polygon.
        QTest::newRow("the hundredth nudge gets through") << 100 << true;
        QTest::newRow("every allowed nudge blocked") << 101 << false;
    }
    void probeNudgesAreBounded()
    {
        QFETCH(int, blocked);
        QFETCH(bool, inside);
        std::vector<float> xy;
        for (int k = 0; k < blocked; ++k) {
            xy.push_back(0.25f + 5e-6f * static_cast<float>(k));
            xy.push_back(0.25f);
        }
        for (float v : {0.8f, 0.3f, 0.8f, 0.8f, 0.3f, 0.8f})
            xy.push_back(v);
        const int count = static_cast<int>(xy.size() / 2);
        QCOMPARE(cRank::PointInPolygon(xy.data(), count, 0.5, 0.5), inside);
    }

    void sortOut()
    {
        cRank rank;
        VexRankResult out{};
        cRank::ClassifiedPoint p{123.0f, 0.4f, 0.4f};
        QCOMPARE(rank.SortOut(&out, &p), RankCode::kNoEntry);
        QCOMPARE(QString(out.name), QString("N/A"));
        QCOMPARE(out.index, -10000);
        QCOMPARE(out.value, 123.0f);

        VexRankData off = *Polygon({0.3f, 0.3f, 0.5f, 0.3f, 0.4f, 0.5f}, "off");
        off.flag = 0;
        QCOMPARE(rank.Set(&off, 0), 0);
        QCOMPARE(rank.Set(Polygon({0.3f, 0.3f, 0.5f, 0.3f, 0.4f, 0.5f}, "twenty characters..."), 3), 0);
        QCOMPARE(rank.Set(Polygon({0.3f, 0.3f, 0.5f, 0.3f, 0.4f, 0.5f}, "second"), 5), 0);
        QCOMPARE(rank.SortOut(&out, &p), 0);
        QCOMPARE(out.index, 3);
        QCOMPARE(QString(out.name), QString("twenty characte"));
        p.x = 0.9f;
        QCOMPARE(rank.SortOut(&out, &p), RankCode::kNotInside);
        QCOMPARE(out.index, -10000);
    }

    void floatRowsAreTheDoubleRowsRounded()
    {
        for (int o = 0; o < 2; ++o) {
            for (int i = 0; i < 66; ++i) {
                const auto& f = vexcolor::kIsoTemperature[o][i];
                const auto& d = vexcolor::kIsoTemperatureD[o][i];
                QCOMPARE(f.n, d.n);
                QCOMPARE(f.mired, d.mired);
                QCOMPARE(f.u, static_cast<float>(d.u));
                QCOMPARE(f.v, static_cast<float>(d.v));
                QCOMPARE(f.t, static_cast<float>(d.t));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRank)
#include "tst_rank.moc"
