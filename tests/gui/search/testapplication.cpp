// The Qt application object of the suite: the file icons of the result list need one. It exists for the
// whole run, as in the program, where it is made before every process-wide object.
#include "gui/common/systemicons.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace {

class ApplicationEnvironment final : public testing::Environment {
public:
    void SetUp() override { m_application = std::make_unique<QGuiApplication>(m_argc, m_argv); }
    void TearDown() override
    {
        releaseSystemIcons();
        m_application.reset();
    }

private:
    int m_argc = 1;
    char m_name[32] = "search_lists_tests";
    char* m_argv[2] = { m_name, nullptr };
    std::unique_ptr<QGuiApplication> m_application;
};

[[maybe_unused]] testing::Environment* const s_environment
    = testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

} // namespace
