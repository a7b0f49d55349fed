// The circuit's lines of Help > Statistics.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "document/docstats.h"
#include "tests/document/parts_fixture.h"

namespace {

class DocStatsTest : public ptf_Circuit {};

TEST_F(DocStatsTest, ComponentsCountInAllAndByTypeWithoutGroundsAndWires) {
    ComponentDef* resistor = Def(kTypeResistor, "Resistor");
    ComponentDef* capacitor = Def(kTypeCapacitor, "Capacitor");
    ComponentDef* ground = Def(18, "Ground", 1);
    Part(resistor, 0, 0);
    Part(resistor, 10, 0);
    Part(capacitor, 20, 0);
    Part(ground, 30, 0);
    Object(kObjectWire, 0, 0);
    std::vector<std::string> lines;
    AppendComponentStatistics(*doc(), false, lines);
    EXPECT_EQ(lines, std::vector<std::string>{"Components = 3"});
    lines.clear();
    AppendComponentStatistics(*doc(), true, lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"Components = 3", "Resistor = 2", "Capacitor = 1"}));
}

}  // namespace
