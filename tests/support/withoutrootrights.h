#pragma once
// Tests of files that cannot be written: as root (CI's user) file permissions stop nothing, so while an
// object of this class lives the process acts as the user "nobody". As any other user it changes
// nothing. The folders and files the code under test reaches must then be open to other users.

#include <gtest/gtest.h>
#include <unistd.h>

class WithoutRootRights {
public:
    WithoutRootRights()
        : m_wasRoot(::geteuid() == 0)
    {
        if (m_wasRoot) {
            EXPECT_EQ(::seteuid(65534), 0);
        }
    }
    ~WithoutRootRights()
    {
        if (m_wasRoot) {
            EXPECT_EQ(::seteuid(0), 0);
        }
    }
    WithoutRootRights(const WithoutRootRights&) = delete;
    WithoutRootRights& operator=(const WithoutRootRights&) = delete;

private:
    bool m_wasRoot;
};
