#include "engine/entries.h"

namespace ax {
namespace {

// Entries come from a dynamic loader as object addresses; on the platforms we build for a
// function pointer has the same representation.
#define AX_OP(lib, field)                                                                   \
  EngineOperation {                                                                         \
    EngineLibrary::lib, #field,                                                             \
        [](EngineEntries& e, void* p) { e.field = reinterpret_cast<decltype(e.field)>(p); } \
  }

}  // namespace

const std::array<EngineOperation, kEngineOperationCount> kEngineOperations = {
    AX_OP(kStream, Tarn_ChannelGetData),
    AX_OP(kStream, Tarn_StreamCreateFile),
    AX_OP(kStream, Tarn_ChannelGetLength),
    AX_OP(kStream, Tarn_ChannelGetPosition),
    AX_OP(kStream, Tarn_ErrorGetCode),
    AX_OP(kStream, Tarn_Init),
    AX_OP(kStream, Tarn_Free),
    AX_OP(kStream, Tarn_StreamFree),
    AX_OP(kStream, Tarn_StreamGetFilePosition),
    AX_OP(kStream, Tarn_SetDevice),
    AX_OP(kStream, Tarn_SetConfig),
    AX_OP(kStream, Tarn_ChannelBytes2Seconds),
    AX_OP(kStream, Tarn_ChannelGetAttribute),
    AX_OP(kStream, Tarn_ChannelSetPosition),
    AX_OP(kStream, Tarn_ChannelSetDevice),
    AX_OP(kStream, Tarn_ChannelStop),
    AX_OP(kStream, Tarn_ChannelUpdate),
    AX_OP(kOutput, Fell_ASIO_GetVersion),
    AX_OP(kOutput, Fell_ASIO_GetDeviceInfo),
    AX_OP(kOutput, Fell_ASIO_Init),
    AX_OP(kOutput, Fell_ASIO_Free),
    AX_OP(kOutput, Fell_ASIO_ErrorGetCode),
    AX_OP(kOutput, Fell_ASIO_CheckRate),
    AX_OP(kOutput, Fell_ASIO_SetRate),
    AX_OP(kOutput, Fell_ASIO_GetRate),
    AX_OP(kOutput, Fell_ASIO_Start),
    AX_OP(kOutput, Fell_ASIO_Stop),
    AX_OP(kOutput, Fell_ASIO_SetUnicode),
    AX_OP(kOutput, Fell_ASIO_IsStarted),
    AX_OP(kOutput, Fell_ASIO_ChannelReset),
    AX_OP(kOutput, Fell_ASIO_ChannelEnable),
    AX_OP(kOutput, Fell_ASIO_ChannelJoin),
    AX_OP(kOutput, Fell_ASIO_ChannelPause),
    AX_OP(kOutput, Fell_ASIO_ChannelSetFormat),
    AX_OP(kOutput, Fell_ASIO_SetDSD),
    AX_OP(kOutput, Fell_ASIO_Future),
    AX_OP(kDecoder, Scree_DSD_StreamCreateFile),
};

#undef AX_OP

}  // namespace ax
