// The module's object types and resource string IDs.
#pragma once

#include "host/core/types.h"

namespace vantelle {

inline constexpr Int32 Osurfo = 1055349;
inline constexpr Int32 Osurfomesh = 1055457;
inline constexpr Int32 Osurfogrid = 1055458;
inline constexpr Int32 Osurfocage = 1055484;
inline constexpr Int32 Osurfolabel = 1055514;

inline constexpr Int32 IDS_SURFO = 15000;
inline constexpr Int32 IDS_SURFOMESH = 15001;
inline constexpr Int32 IDS_SURFOGRID = 15002;
inline constexpr Int32 IDS_SURFOCAGE = 15003;
inline constexpr Int32 IDS_SURFOLABEL = 15004;
inline constexpr Int32 IDS_SURFO_INFO = 15005;

}  // namespace vantelle
