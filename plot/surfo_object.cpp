#include "plot/surfo_object.h"

#include <new>

#include "host/files/description.h"

namespace vantelle {

NodeData* SurfoObject::Alloc() {
  return new (std::nothrow) SurfoObject();
}

Bool SurfoObject::Init(GeListNode* node) {
  auto* list = dynamic_cast<BaseList2D*>(node);
  if (list == nullptr) {
    return false;
  }
  ApplyDefaults(params_, *list->GetDataInstance());
  plot_.resolution = params_.resolution;
  lastFrame_ = LIMIT_MIN_INT32;
  return true;
}

void SurfoObject::Free(GeListNode* /*node*/) {
  plot_.samples.clear();
  nonFiniteCount_.reset();
}

Bool SurfoObject::CopyTo(NodeData* dest, const GeListNode* snode, GeListNode* dnode, COPYFLAGS flags,
                         AliasTrans* trn) {
  auto* target = dynamic_cast<SurfoObject*>(dest);
  if (target == nullptr) {
    return false;
  }
  target->lastFrame_ = lastFrame_;
  target->plot_.minValue = plot_.minValue;
  target->plot_.maxValue = plot_.maxValue;
  try {
    target->plot_.samples = plot_.samples;
  } catch (const std::bad_alloc&) {
    target->plot_.samples.clear();
  }
  target->params_ = params_;
  target->plot_.resolution = plot_.resolution;
  target->formulaError_ = formulaError_;
  target->undefinedSamples_ = undefinedSamples_;
  target->nonFiniteCount_.reset();
  target->samplingPath_ = samplingPath_;
  return ObjectData::CopyTo(dest, snode, dnode, flags, trn);
}

Bool SurfoObject::GetDDescription(const GeListNode* node, Description* description, DESCFLAGS_DESC& flags) const {
  if (node == nullptr || description == nullptr || !description->LoadDescription(node->GetType())) {
    return false;
  }
  flags |= DESCFLAGS_DESC::LOADED;
  return ObjectData::GetDDescription(node, description, flags);
}

Bool SurfoObject::GetDEnabling(const GeListNode* node, const DescID& id, const GeData& value, DESCFLAGS_ENABLE flags,
                               const BaseContainer* itemdesc) const {
  const auto* list = dynamic_cast<const BaseList2D*>(node);
  if (list == nullptr) {
    return false;
  }
  const BaseContainer& bc = *list->GetDataInstance();
  switch (id[0].id) {
    case SURFO_GRADIENT:
    case SURFO_GRADIENTABS:
      return bc.GetInt32(SURFO_COLORMODE) == SURFO_COLORMODE_GRADIENT;
    case SURFO_COLOR:
      return bc.GetInt32(SURFO_COLORMODE) == SURFO_COLORMODE_SINGLE;
    case SURFO_ZMIN:
    case SURFO_ZMAX:
      return bc.GetBool(SURFO_USEZRANGE);
    default:
      return ObjectData::GetDEnabling(node, id, value, flags, itemdesc);
  }
}

void SurfoObject::ReadParameters(const BaseContainer& bc) {
  params_ = vantelle::ReadParameters(bc);
  plot_.resolution = params_.resolution;
}

}  // namespace vantelle
