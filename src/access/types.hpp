#pragma once
// The two small numbers that choose a GPS access job: what to do (access
// type) and which instrument family and link (protocol type).
namespace orlogix {

enum class AccessType : int {
    ReadWaypoints = 0,
    ReadTrackLog = 1,
    ReadProductData = 2,
    WriteWaypoints = 3,
    EraseTrackLog = 4,
    WritePilotData = 5,
    WriteTrackLog = 6,
    WriteCtr = 7,
    ReadCtr = 8,
};
inline constexpr int kAccessTypeCount = 9;

enum class ProtocolType : int {
    GarminSerial = 0,
    Mlr = 1,
    TopNavigator = 2,
    LogIt = 3,
    FlytecIq = 4,
    Graviter = 5,
    Magellan = 6,
    XcTrainer = 7,
    GarminUsb = 8,
    TopNavigatorMxp = 9,
    XcTrainerMxp = 10,
    FlytecAllTracks = 11,
    Flymaster = 12,
    Dsx = 13,
    MlrFast = 14,
    Mtk = 15,
    IqBasic = 16,
};
// The shipped protocol types; the instrument catalogue knows which exist.
inline constexpr int kProtocolTypeCount = 17;

}  // namespace orlogix
