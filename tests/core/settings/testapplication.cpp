// The Qt application object of the suite. It exists for the whole run, as in the program, where it is
// made before every process-wide object.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

namespace {

class ApplicationEnvironment final : public testing::Environment {
public:
    void SetUp() override { m_application = std::make_unique<QCoreApplication>(m_argc, m_argv); }
    void TearDown() override { m_application.reset(); }

private:
    int m_argc = 1;
    char m_name[16] = "core_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QCoreApplication> m_application;
};

[[maybe_unused]] testing::Environment* const s_environment
    = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
