// Vehicles: type, likelihood and the colour of the first cluster.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(VehicleTest, ReadsTypeLikelihoodAndTheColourOfTheFirstClusterIfItHasOne) {
    expectObjects({
        {"<tt:Class><tt:Type Likelihood=\"0.9\">Vehicle</tt:Type></tt:Class><tt:VehicleInfo>"
         "<tt:Type Likelihood=\"0.75\">Truck</tt:Type><tt:Color>" +
             colourCluster(81, 90, 240) + colourCluster(1, 2, 3) + "</tt:Color></tt:VehicleInfo>",
         "class Vehicle@0.9 vehicle Truck@0.75 vehicleColour 81,90,240"},
        {"<tt:VehicleInfo><tt:Type>Car</tt:Type></tt:VehicleInfo>", "vehicle Car@0"},
        {"<tt:VehicleInfo><tt:Color><tt:ColorCluster><tt:Weight>1</tt:Weight></tt:ColorCluster>" +
             colourCluster(5, 6, 7) + "</tt:Color></tt:VehicleInfo>",
         ""},
    });
}

}  // namespace lumo_test
