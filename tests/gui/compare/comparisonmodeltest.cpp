// The comparison's tree: every entry under the folder that holds it, and with differences only, the
// entries that differ with every folder that leads to them and nothing else.
#include "gui/compare/comparisonmodel.h"
#include "tests/support/qtprinters.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>

namespace {

/// The rows of the model as "PATH" lines, depth first.
void collect(const ComparisonModel& model, const QModelIndex& parent, const QString& prefix, QStringList& rows)
{
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        const QString path = prefix + index.data().toString();
        rows.append(path);
        collect(model, index, path + QLatin1Char('\\'), rows);
    }
}

TEST(ComparisonModelTest, DifferencesOnlyKeepTheFoldersThatLeadToThemAndNothingElse)
{
    // A, A\B, A\B\x (changed), A\C, A\C\y, D (only in second), E
    TreeComparison comparison;
    const auto add = [&comparison](const char* name, std::size_t depth, bool folder, Difference difference) {
        comparison.entries.push_back({ name, folder, difference, depth, 0, 0, 0, 0, {} });
    };
    add("A", 0, true, Difference::None);
    add("B", 1, true, Difference::None);
    add("x", 2, false, Difference::Changed);
    add("C", 1, true, Difference::None);
    add("y", 2, false, Difference::None);
    add("D", 0, false, Difference::OnlySecond);
    add("E", 0, false, Difference::None);

    ComparisonModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setComparison(comparison);
    QStringList rows;
    collect(model, {}, {}, rows);
    EXPECT_EQ(rows.join(QLatin1Char(' ')), QStringLiteral("A A\\B A\\B\\x A\\C A\\C\\y D E"));

    model.setDifferencesOnly(true);
    rows.clear();
    collect(model, {}, {}, rows);
    EXPECT_EQ(rows.join(QLatin1Char(' ')), QStringLiteral("A A\\B A\\B\\x D"));
    const QModelIndex changed = model.index(0, 0, model.index(0, 0, model.index(0, 0)));
    ASSERT_NE(model.entry(changed), nullptr);
    EXPECT_EQ(model.entry(changed)->name, "x");
    EXPECT_EQ(model.parent(changed), model.index(0, 0, model.index(0, 0)));
}

} // namespace
