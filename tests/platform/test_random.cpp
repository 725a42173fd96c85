#include "platform/random/Random.h"
#include "tests/support/TestSupport.h"

#include <set>
#include <vector>

using namespace testsupport;

namespace {
std::vector<int> Draw(int64_t second, int range, int count) {
    rng::test::SetClock([second] { return second; });
    rng::Randomize();
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i) numbers.push_back(rng::Random(range));
    return numbers;
}
}  // namespace

class TestRandom : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { rng::test::SetClock({}); }

    // The numbers stay within their range and use all of it.
    void staysInRange_data() {
        QTest::addColumn<int>("range");
        for (int range : {1, 2, 7, 1000, 1 << 30}) QTest::addRow("%d", range) << range;
    }
    void staysInRange() {
        QFETCH(int, range);
        std::set<int> seen;
        for (int n : Draw(1733650000, range, 20000)) {
            QVERIFY(n >= 0 && n < range);
            seen.insert(n);
        }
        QVERIFY(seen.size() >= std::min<size_t>(size_t(range), 1000));
        QCOMPARE(rng::Random(0), 0);
        QCOMPARE(rng::Random(-5), 0);
    }

    // Reseeding within the same second gives the same numbers again (two
    // browses in one second draw the same thumbnail number); another second
    // gives others.
    void seededFromTheSecond() {
        QCOMPARE(Draw(1733650000, 1000, 5), Draw(1733650000, 1000, 5));
        int differing = 0;
        for (int64_t s = 1733650001; s < 1733650011; ++s) differing += Draw(s, 1000, 5) != Draw(1733650000, 1000, 5);
        QCOMPARE(differing, 10);
    }
};

FLICKSTOW_TEST_MAIN(TestRandom)
#include "test_random.moc"
