#pragma once
// The fixture of the result lists' suite: the search suite's catalogs and search, with the two result
// lists over the search and both models under QAbstractItemModelTester for every test.

#include "gui/search/discresultmodel.h"
#include "gui/search/fileresultmodel.h"
#include "gui/search/searchresultlists.h"
#include "tests/core/search/searchfixture.h"

#include <QAbstractItemModelTester>

class SearchListsTest : public SearchTest {
protected:
    SearchResultLists m_lists { m_helper };
    QAbstractItemModelTester m_discTester { m_lists.discModel(),
        QAbstractItemModelTester::FailureReportingMode::Fatal };
    QAbstractItemModelTester m_fileTester { m_lists.fileModel(),
        QAbstractItemModelTester::FailureReportingMode::Fatal };
};
