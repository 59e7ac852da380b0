// Bodies: up to two top colours, the bottom colour and the bag.
#include "parser/payload_text.h"

namespace lumo_test {

TEST(BodyTest, ReadsTopAndBottomColoursAndTheBag) {
    expectObjects({
        // A cluster without an inner colour takes no entry; a third one finds none free.
        {"<tt:HumanBody><bd:Clothing><bd:Tops><bd:Category>LongSleeve</bd:Category><tt:Color>"
         "<tt:ColorCluster><tt:Weight>0.1</tt:Weight></tt:ColorCluster>" +
             colourCluster(10, 20, 30) + colourCluster(40, 50, 60) + colourCluster(70, 80, 90) +
             "</tt:Color></bd:Tops></bd:Clothing></tt:HumanBody>",
         "top 10,20,30 top2 40,50,60"},
        {"<tt:HumanBody><bd:Clothing><bd:Bottoms><tt:Color>" + colourCluster(16, 128, 128) +
             colourCluster(200, 1, 1) +
             "</tt:Color></bd:Bottoms></bd:Clothing><bd:Belonging><bd:Bag><bd:Category>Backpack"
             "</bd:Category></bd:Bag></bd:Belonging></tt:HumanBody>",
         "bottom 16,128,128 bag Backpack"},
    });
}

}  // namespace lumo_test
