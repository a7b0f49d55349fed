// MOSFETs with binned models: L and W choose the bin; outside every bin the
// part's model name itself is tried, and only then the bins are listed.
#include <gtest/gtest.h>

#include "compiler/mosfets.h"
#include "core/result.h"
#include "tests/compiler/setup_fixture.h"

namespace {

class BinnedModelsTest : public SetupFixture {};

TEST_F(BinnedModelsTest, GeometryOutsideEveryBinListsTheSimilarModels) {
    struct Case {
        const char* value;
        const char* extraModel;  // a model of the plain name, or null
        int message;             // the first message shown
    };
    const Case cases[] = {
        {"L=5u W=2u", nullptr, kMsgSimilarModels},
        // The bin holds the geometry: its model is found (and this build has no
        // load for the binned levels, which the set-up then says).
        {"L=1.5u W=2u", nullptr, kResultNotBuilt},
        // No bin holds it, but a model of the plain name exists: no listing.
        {"L=5u W=2u", ".MODEL NCH NMOS (LEVEL=1)", 0},
    };
    for (const Case& c : cases) {
        Reset();
        Model(".MODEL NCH.1 NMOS (LEVEL=8 LMIN=1u LMAX=2u WMIN=1u WMAX=10u)");
        if (c.extraModel) Model(c.extraModel);
        SchematicObject* part = AddPart(kTypeNmos, "M1", c.value, {1, 2, 0, 0});
        SetAttribute(doc_.get(), part, kAttrModel, "NCH");
        const int rc = Process();
        if (c.message) {
            EXPECT_EQ(rc, kResultShown) << c.value;
            ASSERT_FALSE(shown_.empty()) << c.value;
            EXPECT_EQ(shown_[0], c.message) << c.value;
        } else {
            EXPECT_EQ(rc, 0) << c.value << LastMessageText();
        }
    }
}

}  // namespace
