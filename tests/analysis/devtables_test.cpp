#include "analysis/devtables.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/numbers.h"
#include "document/cfanalysis.h"
#include "tests/devices/deck_fixture.h"

namespace {

class DeviceTables : public DeckOperatingPointFixture {
protected:
    // The device pass of the solved deck into a numeric output file, as lines.
    std::vector<std::string> Write(bool operatingPoint, bool models, int width = 80) {
        settings_.numOutWrite[kIncludeNumericOutput] = 1;
        settings_.numOutWrite[kIncludeOperatingPoint] = operatingPoint;
        settings_.numOutWrite[kIncludeModelParameters] = models;
        NumericOutput out;
        out.SetPath(dir_.File("deck.DNO"));
        out.settings = &settings_;
        out.kind = 2;
        out.width = width;
        EXPECT_EQ(out.Begin(true), 0);
        WriteDeviceVariables(out, document_.get(), state_.Solution);
        out.Close();
        std::vector<std::string> lines;
        std::istringstream in(twtest::ReadWholeFile(dir_.File("deck.DNO")));
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    // The lines of one section, from its title to the next title.
    static std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& title) {
        std::vector<std::string> section;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i] != title) continue;
            for (size_t j = i; j < lines.size(); ++j) {
                if (j > i + 1 && j + 1 < lines.size() && !lines[j].empty() &&
                    lines[j + 1] == std::string(lines[j].size(), '='))
                    break;
                section.push_back(lines[j]);
            }
            break;
        }
        return section;
    }
    static std::string Label(const std::string& line) { return line.substr(0, line.find_first_of(" ")); }
    static double Cell(const std::string& line, int index) {
        std::istringstream in(line.substr(13));
        std::string cell;
        for (int i = 0; i <= index; ++i) in >> cell;
        int error = 0;
        return ParseNumber(cell.c_str(), &error);
    }

    AnalysisKindSettings settings_;
};

TEST_F(DeviceTables, ADiodeSectionListsItsQuantitiesLineByLine) {
    ASSERT_EQ(OperatingPoint("T\nV1 1 0 1\nR1 1 2 1K\nD1 2 0 DM\n.MODEL DM D (IS=1E-14)\n"), 0);
    const std::vector<std::string> diodes = Section(Write(true, false), "Diodes");
    const std::vector<std::string> labels = {"Diodes", "======", "Instance:", "Using", "ID",         "VD",
                                             "REQ",    "CAP",    "",          "Power", "PD",         "PS",
                                             "",       "Pin",    "Id",        "",      "Condition:", "State"};
    ASSERT_GE(diodes.size(), labels.size());
    for (size_t i = 0; i < labels.size(); ++i) EXPECT_EQ(Label(diodes[i]), labels[i]) << i << ": " << diodes[i];
    EXPECT_NE(diodes[2].find("D1"), std::string::npos);
    EXPECT_NE(diodes[3].find("DM"), std::string::npos);
    const DiodeRecord* d = Records<DiodeRecord>(kListDiodes).at(0);
    EXPECT_NEAR(Cell(diodes[4], 0), d->id, 1e-3 * std::abs(d->id));
    EXPECT_NEAR(Cell(diodes[5], 0), V("2"), 1e-3);
    EXPECT_NEAR(Cell(diodes[6], 0), 1 / d->gd, 1e-3 / d->gd);
}

TEST_F(DeviceTables, EveryBuiltKindGetsItsSectionInTheFixedOrder) {
    ASSERT_EQ(OperatingPoint("T\nV1 IN 0 5\nR1 IN A 1K\nC1 A 0 1U\nL1 A B 1M\nR2 B 0 1K\nD1 B 0 DM\n"
                             "Q1 C B2 0 QN\nRB IN B2 100K\nRC IN C 1K\n"
                             "J1 IN 0 S JN\nRJ S 0 1K\n"
                             "M1 IN A 0 0 NM L=2U W=10U\n"
                             "Z1 IN 0 S3 ZM\nRZ S3 0 1K\n"
                             "E1 E 0 A 0 2\nRE E 0 1K\n"
                             "T1 A 0 TB 0 Z0=50 TD=1N\nRT TB 0 50\n"
                             "S1 SW 0 A 0 SM\nRS IN SW 1K\n"
                             "G1 0 P POLY(1) A 0 0 1M\nRP P 0 1K\n"
                             ".MODEL DM D (IS=1E-14)\n.MODEL QN NPN (BF=100)\n.MODEL JN NJF (VTO=-2)\n"
                             ".MODEL NM NMOS (LEVEL=1 VTO=0.8 KP=60U)\n.MODEL ZM GASFET (LEVEL=1)\n"
                             ".MODEL SM VSWITCH (RON=1 ROFF=1MEG VON=1 VOFF=0)\n"),
              0);
    const std::vector<std::string> lines = Write(true, true);
    std::vector<std::string> titles;
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        if (!lines[i].empty() && lines[i + 1] == std::string(lines[i].size(), '=')) titles.push_back(lines[i]);
    const std::vector<std::string> devices = {"Diodes",
                                              "Bipolar Junction Transistors",
                                              "JFET Devices",
                                              "MOSFET Devices",
                                              "GaAsFET Devices",
                                              "Resistor Devices",
                                              "TransmissionLine Devices",
                                              "Inductor Devices",
                                              "Capacitor Devices",
                                              "S Devices",
                                              "SPICE Poly Devices",
                                              "SPICE Source Devices"};
    std::vector<std::string> shown;
    for (const std::string& t : titles)
        if (t.rfind("Model parameters for ", 0) != 0 && t != "Operating Point") shown.push_back(t);
    EXPECT_EQ(std::vector<std::string>(shown.end() - static_cast<long>(devices.size()), shown.end()), devices);
    // Every model type in use lists its models first, the MOSFET with its level filter.
    size_t models = 0;
    for (const std::string& t : titles) models += t.rfind("Model parameters for ", 0) == 0;
    EXPECT_EQ(models, 6u);

    // The MOSFET's instance fields close its section; the line its ports' currents.
    const std::vector<std::string> mos = Section(lines, "MOSFET Devices");
    std::vector<std::string> mosLabels;
    for (const std::string& l : mos) mosLabels.push_back(Label(l));
    const auto variables = std::find(mosLabels.begin(), mosLabels.end(), "Device");
    ASSERT_NE(variables, mosLabels.end());
    EXPECT_EQ(std::vector<std::string>(variables + 1, variables + 4), (std::vector<std::string>{"m", "l", "w"}));
    EXPECT_NEAR(Cell(mos[static_cast<size_t>(variables - mosLabels.begin()) + 2], 0), 2e-6, 1e-9);
    const std::vector<std::string> bjt = Section(lines, "Bipolar Junction Transistors");
    const auto beta = std::find_if(bjt.begin(), bjt.end(), [](const std::string& l) { return Label(l) == "BETADC"; });
    ASSERT_NE(beta, bjt.end());
    const BipolarRecord* q = Records<BipolarRecord>(kListBipolars).at(0);
    EXPECT_NEAR(Cell(*beta, 0), q->ic / q->ib, 1e-3 * q->ic / q->ib);
}

TEST_F(DeviceTables, NarrowReportsSplitDevicesIntoBlocks) {
    ASSERT_EQ(OperatingPoint("T\nV1 1 0 1\nR1 1 0 1K\nR2 1 0 2K\nR3 1 0 3K\nR4 1 0 4K\nR5 1 0 5K\nR6 1 0 6K\n"), 0);
    const std::vector<std::string> resistors = Section(Write(true, false), "Resistor Devices");
    std::vector<std::string> instances;
    for (const std::string& l : resistors)
        if (Label(l) == "Instance:") instances.push_back(l);
    // (80 - 6) / (10 + 4) = 5 devices a block.
    ASSERT_EQ(instances.size(), 2u);
    EXPECT_NE(instances[0].find("R5"), std::string::npos);
    EXPECT_NE(instances[1].find("R6"), std::string::npos);
    // A resistor's pin current is its voltage over its resistance.
    const auto ir =
        std::find_if(resistors.begin(), resistors.end(), [](const std::string& l) { return Label(l) == "Ir"; });
    ASSERT_NE(ir, resistors.end());
    EXPECT_NEAR(Cell(*ir, 0), 1e-3, 1e-6);
    EXPECT_NEAR(Cell(*ir, 1), 0.5e-3, 1e-6);
}

}  // namespace
