// The labels component: annotates its plot with twelve extruded axis labels and a legend
// line that shows the formula. Each is an ordinary child object that the component
// creates, names and finds again by its name; its own cache is only an empty null.
#pragma once

#include "common/type_ids.h"
#include "host/scene/objects.h"

namespace vantelle {

inline constexpr Int32 SURFOLABEL_SIZE = 50000;         // Float: text height of every label
inline constexpr Int32 SURFOLABEL_COLOR = 50001;        // Vector: display colour of every label
inline constexpr Int32 SURFOLABEL_DECIMALS = 50002;     // Int32: digits after the point
inline constexpr Int32 SURFOLABEL_HLABELS = 50003;      // Bool: show the X and Z labels
inline constexpr Int32 SURFOLABEL_VLABELS = 50004;      // Bool: show the value labels
inline constexpr Int32 SURFOLABEL_FLIP = 50005;         // Bool: labels on the opposite edges
inline constexpr Int32 SURFOLABEL_LEGEND = 50007;       // Bool: show the legend
inline constexpr Int32 SURFOLABEL_LEGENDOFFSET = 50008;  // Vector: legend offset from its home
inline constexpr Int32 SURFOLABEL_LEGENDROTATION = 50009;  // Int32: legend heading choice
inline constexpr Int32 SURFOLABEL_RESET = 50011;        // button: defaults, default font, rebuild
// SURFOLABEL_UPDATE (50012, button: rebuild) is in common/type_ids.h: the plot presses it.
inline constexpr Int32 SURFOLABEL_SIDES = 50013;        // Int32: which label sets show
inline constexpr Int32 SURFOLABEL_FONT = 50014;         // FontData: the font of every label
inline constexpr Int32 SURFOLABEL_DEPTH = 50015;        // Float: extrusion depth

inline constexpr Int32 SURFOLABEL_SIDES_SIDE = 0;
inline constexpr Int32 SURFOLABEL_SIDES_FRONT = 1;
inline constexpr Int32 SURFOLABEL_SIDES_BOTH = 2;

class SurfoLabel final : public ObjectData {
public:
  // A new instance, or null when memory runs out.
  static NodeData* Alloc();

  // Writes the defaults; leaves the font alone (message 22 or the reset button picks it).
  Bool Init(GeListNode* node) override;
  Bool CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
              AliasTrans* trn) override;
  // Parameter changes, the buttons, creation (22) and the enable switch: rebuilds, switches
  // visibility or moves the legend, then hands the message to the base class.
  Bool Message(GeListNode* node, Int32 type, void* data) override;
  Bool GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                    const BaseContainer* itemdesc) const override;
  Bool AddToExecution(BaseObject* op, PriorityList* list) override;
  // Notices that the plot changed since the last pass (MSG_UPDATE to itself); never
  // touches a label. The plot's own rebuild request keeps the labels in step.
  EXECUTIONRESULT Execute(BaseObject* op, BaseDocument* doc, BaseThread* bt, Int32 priority,
                          EXECUTIONFLAGS flags) override;
  // A new empty null on every call: the labels are the component's children.
  BaseObject* GetVirtualObjects(BaseObject* op, const HierarchyHelp* hh) override;

private:
  UInt32 lastDataDirty_ = 0;
};

// Writes the component's defaults into `bc`, in the order Init writes them.
void WriteLabelDefaults(BaseContainer& bc);

// Deletes and re-creates the thirteen children of `component` from `bc` and `plot`: the
// six horizontal labels, the six vertical ones, then the legend. Does nothing without a
// plot, without the plot's instance, or while the component is switched off.
void RebuildLabels(BaseObject* component, const BaseContainer& bc, BaseObject* plot);

// Stores the font every label uses in SURFOLABEL_FONT: the installed font whose display
// name is this system's usual sans-serif ("Arial" on Windows, "Helvetica" on macOS,
// "Liberation Sans" elsewhere), else the system's default font. False, with the
// container untouched, when a font's name cannot be read or there is no default font.
Bool SetDefaultFont(BaseContainer& bc);

}  // namespace vantelle
