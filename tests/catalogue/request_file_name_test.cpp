#include "catalogue/request_file_name.h"

#include <gtest/gtest.h>

#include <sstream>

// Rows "file>name|pair|channel". Only the first "&" and the first "_" count; a "_" before the
// "&" leaves no pair; a leading marker gives an empty record.
TEST(RequestFileName, SplitsNamePairAndChannel) {
    std::istringstream rows(
        "Reboot>Reboot||0 >||0 PtzControl_x>PtzControl||1 Get_Face_Album>Get||1 A_>A||1 "
        "ModifyUser&SetUser>ModifyUser|SetUser|0 A&>A||0 A&B&C>A|B&C|0 A&_1>A||1 "
        "GetImageConfig&SetImageConfig_1>GetImageConfig|SetImageConfig|1 Get_x&Set>Get_x||1 "
        "A_&B>A_||1 &Foo>||0 _Foo>||0 _A&B>||0 &A_1>||0 A_1&>A_1||1");
    for (std::string row; rows >> row;) {
        const RequestFileName p = SplitRequestFileName(row.substr(0, row.find('>')));
        EXPECT_EQ(p.name + "|" + p.pairName + "|" + std::to_string(p.channel),
                  row.substr(row.find('>') + 1))
            << row;
    }
}
