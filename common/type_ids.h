// The IDs that more than one of the module's folders use: the object types, the resource
// strings, and the one button that one object type presses on another. They sit below
// every folder of the module (main/ registers the types, plot/ finds its components by
// type, the components find their plot), so that each includes them downward and none
// reaches up into main/ or across into another object's folder.
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

// The labels component's rebuild button, which the plot also presses after it sampled
// afresh so that the labels follow the new ranges and formula in the same pass.
inline constexpr Int32 SURFOLABEL_UPDATE = 50012;

}  // namespace vantelle
