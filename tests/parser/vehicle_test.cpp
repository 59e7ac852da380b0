// Vehicles: type, likelihood and the colour of the first cluster.
#include "parser/document_builder.h"

namespace lumo_test {
namespace {

class VehicleTest : public ParserTest {};

TEST_F(VehicleTest, ReadsTypeLikelihoodAndFirstClusterColour) {
    const auto& o = onlyObject(
        "<tt:Class><tt:Type Likelihood=\"0.9\">Vehicle</tt:Type></tt:Class>"
        "<tt:VehicleInfo><tt:Type Likelihood=\"0.75\">Truck</tt:Type><tt:Color>" +
        cluster(81, 90, 240) + cluster(1, 2, 3) + "</tt:Color></tt:VehicleInfo>");
    EXPECT_STREQ(o.vehicleType, "Truck");
    EXPECT_FLOAT_EQ(o.vehicleLikelihood, 0.75f);
    EXPECT_TRUE(o.hasVehicleColor);
    EXPECT_EQ(o.vehicleColor.y, 81);
    EXPECT_EQ(o.vehicleColor.u, 90);
    EXPECT_EQ(o.vehicleColor.v, 240);
}

TEST_F(VehicleTest, ColourIsStoredOnlyWhenTheFirstClusterHasAnInnerColour) {
    const auto& bare = onlyObject("<tt:VehicleInfo><tt:Type>Car</tt:Type></tt:VehicleInfo>");
    EXPECT_FALSE(bare.hasVehicleColor);
    EXPECT_EQ(bare.vehicleColor.y, -1);

    const auto& empty = onlyObject(
        "<tt:VehicleInfo><tt:Color><tt:ColorCluster><tt:Weight>1</tt:Weight></tt:ColorCluster>" +
        cluster(5, 6, 7) + "</tt:Color></tt:VehicleInfo>");
    EXPECT_FALSE(empty.hasVehicleColor);
    EXPECT_EQ(empty.vehicleColor.u, -1);
}

}  // namespace
}  // namespace lumo_test
