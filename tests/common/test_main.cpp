#include "TestHome.h"
#include "application/Startup.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace {

// Stops the program, naming the test, when one test runs longer than
// THINKWEB_TEST_TIMEOUT seconds (300 unless set; 0 for no limit): a loop
// that never ends fails within minutes and says where, instead of holding
// its whole shard until CTest's limit names nothing.
class TestTimeLimit : public ::testing::EmptyTestEventListener
{
public:
    explicit TestTimeLimit(int seconds) : m_limit(seconds), m_watch([this] { watch(); }) {}
    ~TestTimeLimit() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_watch.join();
    }

    void OnTestStart(const ::testing::TestInfo &test) override
    {
        std::lock_guard lock(m_mutex);
        m_test = std::string(test.test_suite_name()) + "." + test.name();
        m_deadline = std::chrono::steady_clock::now() + m_limit;
        m_changed.notify_all();
    }
    void OnTestEnd(const ::testing::TestInfo &) override
    {
        std::lock_guard lock(m_mutex);
        m_test.clear();
        m_changed.notify_all();
    }

private:
    void watch()
    {
        std::unique_lock lock(m_mutex);
        while (!m_done) {
            if (m_test.empty()) {
                m_changed.wait(lock);
                continue;
            }
            const std::string running = m_test;
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout &&
                m_test == running && std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "\n%s ran longer than %lld s: stopped\n", running.c_str(),
                             static_cast<long long>(m_limit.count()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    const std::chrono::seconds m_limit;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_test;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_done = false;
    std::thread m_watch;
};

} // namespace

// Every suite runs inside an application object: fonts, images, painting and
// the widget kit need the GUI side of Qt, and the undo and notification tests need the event loop.
int main(int argc, char **argv)
{
    registerTypesAndResources();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const auto home = useTemporaryHome();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    bool set = false;
    const int limit = qEnvironmentVariableIntValue("THINKWEB_TEST_TIMEOUT", &set);
    if (!set || limit > 0)
        ::testing::UnitTest::GetInstance()->listeners().Append(
            new TestTimeLimit(set ? limit : 300));
    return RUN_ALL_TESTS();
}
