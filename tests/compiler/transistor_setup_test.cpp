// The bipolar, JFET and GaAsFET part set-ups: models, internal nodes behind
// nonzero series resistances, polarity by component type, the instance tail
// (area, OFF, IC=) and the failures that stop the loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/setupservices.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class TransistorSetupTest : public SetupFixture {
protected:
    void Models() {
        Model(".MODEL QR NPN (RB=100 RE=0 RC=5)");
        Model(".MODEL QE NPN (RE=2)");
        Model(".MODEL QP PNP (BF=50)");
        Model(".MODEL QL LPNP (BF=20)");
        Model(".MODEL JR NJF (RD=10)");
        Model(".MODEL JP PJF (RS=10)");
        Model(".MODEL ZR GASFET (RG=1 RD=2 RS=3)");
        Model(".MODEL Z0 GASFET");
    }
};

TEST_F(TransistorSetupTest, BipolarsTakeNodesPolarityAndInstanceTail) {
    constexpr int kNpn4 = 36, kPnp4 = 38;
    struct Case {
        int type;
        const char* model;
        const char* value;
        int result;
        std::vector<int> shown;
        double polarity;
        std::vector<const char*> internal;  // base, emitter, collector: the suffix or "" for the pin
        bool substrate;
        double area;
        int off;
        int icGiven;
        double icVbe, icVce;
    } cases[] = {
        {kTypeNpn, "QR", "", 0, {}, 1.0, {"_base", "", "_collector"}, false, 1.0, 0, 0, 0, 0},
        {kTypeNpn, "QE", "OFF IC=0.7,5", 0, {}, 1.0, {"", "_emitter", ""}, false, 1.0, 1, 1, 0.7, 5},
        // PNP parts are negative; four-pin parts keep their substrate.
        {kTypePnp, "QP", "2", 0, {}, -1.0, {"", "", ""}, false, 2.0, 0, 0, 0, 0},
        // A PNP part naming an NPN model takes it as it is and stays negative.
        {kTypePnp, "QE", "", 0, {}, -1.0, {"", "_emitter", ""}, false, 1.0, 0, 0, 0, 0},
        {kNpn4, "QE", "", 0, {}, 1.0, {"", "_emitter", ""}, true, 1.0, 0, 0, 0, 0},
        {kPnp4, "QL", "", 0, {}, -1.0, {"", "", ""}, true, 1.0, 0, 0, 0, 0},
        {kTypeNpn, "QE", "0", kResultShown, {10840}, 1.0, {"", "_emitter", ""}, false, 0.0, 0, 0, 0, 0},
        {kTypeNpn, "NONE", "", kResultShown, {10834}, 0, {}, false, 0, 0, 0, 0, 0},
        {kTypePnp, "NONE", "", kResultShown, {10834}, 0, {}, false, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Reset();
        Models();
        // Pins: collector, base, emitter, substrate.
        SchematicObject* part = AddPart(c.type, "Q1", c.value, {1, 2, 3, 4});
        SetAttribute(doc_.get(), part, kAttrModel, c.model);
        const int nodesBefore = compiled_->analogNodeCount;
        EXPECT_EQ(Process(), c.result) << c.model << " " << c.value;
        EXPECT_EQ(shown_, c.shown) << c.model << " " << c.value;
        const auto records = Records<BipolarRecord>(kListBipolars);
        ASSERT_EQ(records.size(), 1u);
        const BipolarRecord* q = records[0];
        if (c.internal.empty()) {
            EXPECT_EQ(q->model, nullptr);
            continue;
        }
        EXPECT_EQ(q->collector, 1);
        EXPECT_EQ(q->base, 2);
        EXPECT_EQ(q->emitter, 3);
        EXPECT_EQ(q->substrate, c.substrate ? 4 : 0);
        EXPECT_EQ(q->polarity, c.polarity);
        EXPECT_EQ(q->modelKind, q->model->ModelType);
        int next = nodesBefore;
        const int32_t primes[] = {q->basePrime, q->emitterPrime, q->collectorPrime};
        const int32_t pins[] = {2, 3, 1};
        for (int i = 0; i < 3; ++i) {
            if (*c.internal[i]) {
                EXPECT_EQ(primes[i], ++next) << c.model << " " << i;
                EXPECT_EQ(InternalNodeName(doc_.get(), primes[i]), std::string("Q1") + c.internal[i]);
            } else {
                EXPECT_EQ(primes[i], pins[i]) << c.model << " " << i;
            }
        }
        EXPECT_DOUBLE_EQ(q->area, c.area);
        EXPECT_EQ(q->off, c.off);
        EXPECT_EQ(q->icGiven, c.icGiven);
        EXPECT_DOUBLE_EQ(q->icVbe, c.icVbe);
        EXPECT_DOUBLE_EQ(q->icVce, c.icVce);
        EXPECT_EQ(q->ordinal, 1);
        if (c.result == 0) {
            EXPECT_EQ(compiled_->FindLink(part)->record, q);
            EXPECT_DOUBLE_EQ(q->powerRating, 0.1);
        }
    }
}

TEST_F(TransistorSetupTest, FetsMakeUnnamedInternalNodesAndReadDrainThenGateVoltages) {
    constexpr int kPjfet = 24, kNjfet = 25;
    struct Case {
        int type;
        const char* model;
        const char* value;
        int result;
        std::vector<int> shown;
        double polarity;
        std::vector<bool> internal;  // gate (GaAsFET only), drain, source
        double area;
        int off;
        double icVds, icVgs;
    } cases[] = {
        {kNjfet, "JR", "IC=5,-1", 0, {}, 1.0, {false, true, false}, 1.0, 0, 5, -1},
        {kPjfet, "JP", "3 OFF", 0, {}, -1.0, {false, false, true}, 3.0, 1, 0, 0},
        {kTypeGaAsFet, "ZR", "2 IC=3,-0.5", 0, {}, 1.0, {true, true, true}, 2.0, 0, 3, -0.5},
        {kTypeGaAsFet, "Z0", "", 0, {}, 1.0, {false, false, false}, 1.0, 0, 0, 0},
        // An area of 0 fails both kinds; the JFET record is still filled.
        {kNjfet, "JR", "0", kResultShown, {10840}, 1.0, {false, true, false}, 0.0, 0, 0, 0},
        {kTypeGaAsFet, "Z0", "0", kResultShown, {10840}, 0.0, {}, 0.0, 0, 0, 0},
        {kTypeGaAsFet, "NONE", "", kResultShown, {10834}, 0.0, {}, 0.0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        Reset();
        Models();
        const bool gaas = c.type == kTypeGaAsFet;
        // Pins: drain, gate, source.
        SchematicObject* part = AddPart(c.type, gaas ? "Z1" : "J1", c.value, {1, 2, 3});
        SetAttribute(doc_.get(), part, kAttrModel, c.model);
        const int nodesBefore = compiled_->analogNodeCount;
        EXPECT_EQ(Process(), c.result) << c.model << " " << c.value;
        EXPECT_EQ(shown_, c.shown) << c.model << " " << c.value;
        if (c.internal.empty()) continue;
        int32_t gate, gatePrime, drain, drainPrime, source, sourcePrime;
        double polarity, area, icVds, icVgs;
        int32_t off;
        if (gaas) {
            const auto records = Records<GaasfetRecord>(kListGaasfets);
            ASSERT_EQ(records.size(), 1u);
            const GaasfetRecord* r = records[0];
            gate = r->gate, gatePrime = r->gatePrime, drain = r->drain, drainPrime = r->drainPrime;
            source = r->source, sourcePrime = r->sourcePrime, polarity = r->polarity, area = r->area;
            icVds = r->icVds, icVgs = r->icVgs, off = r->off;
        } else {
            const auto records = Records<JfetRecord>(kListJfets);
            ASSERT_EQ(records.size(), 1u);
            const JfetRecord* r = records[0];
            gate = r->gate, gatePrime = r->gate, drain = r->drain, drainPrime = r->drainPrime;
            source = r->source, sourcePrime = r->sourcePrime, polarity = r->polarity, area = r->area;
            icVds = r->icVds, icVgs = r->icVgs, off = r->off;
        }
        EXPECT_EQ(drain, 1);
        EXPECT_EQ(gate, 2);
        EXPECT_EQ(source, 3);
        int next = nodesBefore;
        const int32_t primes[] = {gatePrime, drainPrime, sourcePrime};
        const int32_t pins[] = {2, 1, 3};
        for (int i = 0; i < 3; ++i) {
            if (c.internal[static_cast<size_t>(i)]) {
                EXPECT_EQ(primes[i], ++next) << c.model << " " << i;
                EXPECT_EQ(InternalNodeName(doc_.get(), primes[i]), "") << c.model << " " << i;
            } else {
                EXPECT_EQ(primes[i], pins[i]) << c.model << " " << i;
            }
        }
        EXPECT_EQ(polarity, c.polarity);
        EXPECT_DOUBLE_EQ(area, c.area);
        EXPECT_EQ(off, c.off);
        EXPECT_DOUBLE_EQ(icVds, c.icVds);
        EXPECT_DOUBLE_EQ(icVgs, c.icVgs);
        if (c.result == 0) {
            EXPECT_NE(compiled_->FindLink(part), nullptr);
        }
    }
}

}  // namespace
