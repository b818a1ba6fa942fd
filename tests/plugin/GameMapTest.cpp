// World coordinates to map Lat/Lon, through the game's minimap data reached by name.

#include <gtest/gtest.h>

#include <cmath>

#include "GameMemory.h"
#include "GameWorld.h"
#include "Host/GameRegistry.h"
#include "PluginHost.h"
#include "map/GameMap.h"

namespace {

using gameserver::MapEntry;
using gameserver::MapSettings;
using quorvane::GameMap::WorldToLatLon;

MapEntry Entry(FVector playableMin, FVector playableMax, double originMinX, double originMinY,
               double originMaxX, double originMaxY) {
    MapEntry entry;
    entry.playableMin = playableMin;
    entry.playableMax = playableMax;
    entry.originMin[0] = originMinX;
    entry.originMin[1] = originMinY;
    entry.originMax[0] = originMaxX;
    entry.originMax[1] = originMaxY;
    return entry;
}

// Playable box and origin rectangle -100000..100000.
const MapEntry kMain =
    Entry({-100000, -100000, -1000}, {100000, 100000, 1000}, -100000, -100000, 100000, 100000);
// A cave inside the main map, with an origin of 0..300.
const MapEntry kCave = Entry({0, 0, -10}, {1000, 1000, 10}, 0, 0, 300, 300);

class GameMapTest : public ::testing::Test {
  protected:
    GameMapTest() { gameserver::RegisterWorldNames(); }
    ~GameMapTest() override { asahost::SetWorld(nullptr); }

    void Play(const MapSettings& map) {
        world_ = std::make_unique<gameserver::GameWorld>(map);
        asahost::SetWorld(world_->World());
    }
    static MapSettings Map(std::vector<MapEntry> entries) {
        MapSettings map;
        map.entries = std::move(entries);
        return map;
    }

    testing_support::PluginHost host_;
    std::unique_ptr<gameserver::GameWorld> world_;
};

TEST_F(GameMapTest, ProjectsOntoTheOriginRectangleWithFloatPrecision) {
    Play(Map({Entry({-1000, -1000, -1000}, {1000, 1000, 1000}, 0, -100000, 300, 100000)}));
    struct Case {
        float x, y;
        double lat, lon;
    };
    const Case cases[] = {
        {100, 50000, 33.33333206176758, 75.0},   // the float nearest to 33.333...
        {400, -50000, 133.3333282470703, 25.0},  // outside the rectangle: not clamped
        {0, -100000, 0.0, 0.0},
        {300, 100000, 100.0, 100.0},
        {-30, 0, -10.0, 50.0},
    };
    for (const auto& c : cases) {
        const auto position = WorldToLatLon({c.x, c.y, 0});
        EXPECT_EQ(position.Lat, c.lat) << c.x;
        EXPECT_EQ(position.Lon, c.lon) << c.y;
    }
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(GameMapTest, LatComesFromXAndLonFromY) {
    Play(Map({kMain}));
    const auto position = WorldToLatLon({50000, -50000, 0});
    EXPECT_EQ(position.Lat, 75.0);
    EXPECT_EQ(position.Lon, 25.0);
}

TEST_F(GameMapTest, ChoosesTheFirstEntryThatStrictlyHoldsThePoint) {
    const MapEntry caveFirst = kCave;
    Play(Map({caveFirst, kMain}));
    EXPECT_EQ(WorldToLatLon({100, 100, 0}).Lat, 33.33333206176758);  // both hold it: first wins
    EXPECT_EQ(WorldToLatLon({50000, 0, 0}).Lat, 75.0);               // only the main map does

    Play(Map({kMain, kCave}));
    EXPECT_EQ(WorldToLatLon({100, 100, 0}).Lat, 50.04999923706055);
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(GameMapTest, APointOnAFaceOrWithNaNIsOutsideAndFallsBackToTheFirstEntry) {
    Play(Map({kCave, Entry({2000, 2000, -10}, {3000, 3000, 10}, 0, 0, 3000, 3000)}));
    struct Case {
        quorvane::WorldCoordinate point;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {{1000, 500, 0}, {"No map entry holds X: 1000, Y: 500, Z: 0; using the first one"}},
        {{500, 500, -10}, {"No map entry holds X: 500, Y: 500, Z: -10; using the first one"}},
        {{NAN, 500, 0},
         {"No map entry holds X: nan, Y: 500, Z: 0; using the first one",
          "Lat from X: nan over the origin 0 to 300 is not finite; Lat is 0"}},
    };
    for (const auto& c : cases) {
        host_.ClearLines();
        const auto position = WorldToLatLon(c.point);
        EXPECT_EQ(position.Lon, 166.6666717529297);  // projected with the first entry
        std::vector<std::string> lines;
        for (const auto& warning : c.warnings) {
            lines.push_back("[Quorvane][warning] " + warning);
        }
        EXPECT_EQ(host_.PluginLines(), lines);
    }
}

// printf's %f would write such a percentage into the announcements as "nan" or "inf".
TEST_F(GameMapTest, APercentageBeyondFloatIsZeroWithAWarningAndTheOtherStays) {
    struct Case {
        MapEntry entry;
        quorvane::WorldCoordinate point;
        double lat, lon;
        std::vector<std::string> warnings;
    };
    const FVector low{-1e38, -1e38, -1e38};
    const FVector high{1e38, 1e38, 1e38};
    const Case cases[] = {
        {Entry(low, high, 0, 0, 0, 300),
         {0, 150, 0},
         0,
         50,  // no width, on it: 0/0
         {"Lat from X: 0 over the origin 0 to 0 is not finite; Lat is 0"}},
        {Entry(low, high, 0, 0, 300, 0),
         {150, 10, 0},
         50,
         0,  // no width, off it: a division by 0
         {"Lon from Y: 10 over the origin 0 to 0 is not finite; Lon is 0"}},
        {Entry(low, high, 0, 0, 0, 0),
         {0, 10, 0},
         0,
         0,  // an empty rectangle
         {"Lat from X: 0 over the origin 0 to 0 is not finite; Lat is 0",
          "Lon from Y: 10 over the origin 0 to 0 is not finite; Lon is 0"}},
        {Entry(low, high, 0, 0, 1, 300),
         {3e38f, 150, 0},
         0,
         50,  // beyond float, finite as double
         {"Lat from X: 3e+38 over the origin 0 to 1 is not finite; Lat is 0"}},
        {Entry(low, high, 0, 0, 300, 300),
         {150, INFINITY, 0},
         50,
         0,
         {"Lon from Y: inf over the origin 0 to 300 is not finite; Lon is 0"}},
    };
    for (const auto& c : cases) {
        Play(Map({c.entry}));
        host_.ClearLines();
        const auto position = WorldToLatLon(c.point);
        EXPECT_EQ(position.Lat, c.lat) << c.point.X;
        EXPECT_EQ(position.Lon, c.lon) << c.point.Y;
        std::vector<std::string> lines;
        for (const auto& warning : c.warnings) {
            lines.push_back("[Quorvane][warning] " + warning);
        }
        EXPECT_EQ(host_.PluginLines(), lines);
    }
}

TEST_F(GameMapTest, ASingleEntryIsUsedEvenForAPointOutsideIt) {
    Play(Map({kCave}));
    EXPECT_EQ(WorldToLatLon({600, 150, 5000}).Lat, 200.0);
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(GameMapTest, WithoutReflectionDataEveryPassTestsTheFirstEntry) {
    MapSettings map = Map({kCave, kMain});
    map.staticStruct = false;
    Play(map);
    EXPECT_EQ(WorldToLatLon({100, 100, 0}).Lat, 33.33333206176758);
    // The main map would hold this point, but with stride 0 it is never looked at.
    EXPECT_EQ(WorldToLatLon({50000, 0, 0}).Lat, 16666.666015625);
    EXPECT_EQ(host_.PluginLines().size(), 1u);
}

TEST_F(GameMapTest, FindsTheMinimapDataThroughTheFallbackClassPath) {
    MapSettings map = Map({kMain});
    map.minimap = MapSettings::Minimap::Fallback;
    Play(map);
    EXPECT_EQ(WorldToLatLon({50000, -50000, 0}).Lat, 75.0);
    EXPECT_TRUE(host_.PluginLines().empty());
}

TEST_F(GameMapTest, MissingGameDataGivesZeroWithOneWarning) {
    const auto zero = [&](const MapSettings& map, const char* line) {
        Play(map);
        host_.ClearLines();
        const auto position = WorldToLatLon({50000, -50000, 0});
        EXPECT_EQ(position.Lat, 0.0);
        EXPECT_EQ(position.Lon, 0.0);
        EXPECT_EQ(host_.PluginLines(),
                  (line == nullptr ? std::vector<std::string>{} : std::vector<std::string>{line}));
    };
    MapSettings noWorld = Map({kMain});
    noWorld.world = false;
    zero(noWorld, nullptr);  // no world is normal before the game has one: silent
    MapSettings noClass = Map({kMain});
    noClass.minimap = MapSettings::Minimap::None;
    zero(noClass,
         "[Quorvane][warning] Map position unknown: there is no minimap data class; "
         "Lat and Lon are 0");
    zero(Map({}),
         "[Quorvane][warning] Map position unknown: the minimap data has no map "
         "entries; Lat and Lon are 0");
}

TEST_F(GameMapTest, PlaysAMapFromAMapDataFile) {
    host_.Dir().WriteFile("map.json", R"({"minimapData": "fallback", "staticStruct": true,
        "entries": [
          {"PlayableMin": [-400000, -400000, -1e5], "PlayableMax": [400000, 400000, 1e5],
           "OriginMin": [-400000, -400000], "OriginMax": [400000, 400000]},
          {"PlayableMin": [0, 0, -10], "PlayableMax": [1000, 1000, 10],
           "OriginMin": [0, 0], "OriginMax": [300, 300]}]})");
    const MapSettings map = gameserver::LoadMap(host_.Dir().Path() / "map.json");
    ASSERT_EQ(map.entries.size(), 2u);
    EXPECT_EQ(map.minimap, MapSettings::Minimap::Fallback);
    Play(map);
    EXPECT_EQ(WorldToLatLon({200000, -50000, 0}).Lat, 75.0);   // the main map
    EXPECT_EQ(WorldToLatLon({110000, 110000, 0}).Lat, 63.75);  // in both: the first wins
    EXPECT_THROW(gameserver::LoadMap(host_.Dir().Path() / "missing.json"), std::runtime_error);
}

// Under the framework's HooksDoNotThrow a function the game lacks is null: the position is then
// unknown, and the warning names the function. (Without it the framework ends the server.)
TEST(MapProjectorNamesTest, AGameFunctionTheGameLacksGivesZeroAndNamesIt) {
    struct Case {
        const char* missing;
        MapSettings::Minimap minimap;
    };
    const Case cases[] = {
        {"UWorld.GetWorldSettings(bool,bool)", MapSettings::Minimap::Current},
        {"UClass.GetDefaultObject(bool)", MapSettings::Minimap::Current},
        {"UVictoryCore.StringReferenceToClass(FString&)", MapSettings::Minimap::Fallback},
    };
    testing_support::PluginHost::Settings settings;
    settings.hooksDoNotThrow = true;
    for (const auto& c : cases) {
        testing_support::PluginHost host(settings);
        gameserver::RegisterWorldNames();
        MapSettings map;
        map.minimap = c.minimap;
        map.entries = {kMain};
        const gameserver::GameWorld world(map);
        asahost::SetWorld(world.World());
        asahost::ForgetName(c.missing);
        const auto position = WorldToLatLon({50000, -50000, 0});
        asahost::SetWorld(nullptr);
        EXPECT_EQ(position.Lat, 0.0);
        EXPECT_EQ(position.Lon, 0.0);
        EXPECT_EQ(host.PluginLines(),
                  std::vector<std::string>{"[Quorvane][warning] Map position unknown: the game "
                                           "lacks " +
                                           std::string(c.missing) + "; Lat and Lon are 0"});
    }
}

}  // namespace
