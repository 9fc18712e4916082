// The QApplication of a widget test suite: windows, icons and message boxes need one. It exists for
// the whole run, as in the program, where it is made before every process-wide object. Linked into a
// suite as an object library, so its registration always runs.
#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace {

class GuiApplicationEnvironment final : public testing::Environment {
public:
    void SetUp() override { m_application = std::make_unique<QApplication>(m_argc, m_argv); }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "katalox_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QApplication> m_application;
};

[[maybe_unused]] testing::Environment* const s_environment
    = testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

} // namespace
