#include "app/params_command.h"

#include <algorithm>
#include <iostream>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "app/app_error.h"
#include "app/components.h"
#include "app/session.h"
#include "host/files/parameter_text.h"
#include "host/scene/registry.h"

namespace vantelle::app {

namespace {

std::string Limits(const DescParameter& p) {
  if (!p.min && !p.max) {
    return "";
  }
  const auto number = [](Float v) { return FloatToString(v, -1, -6).GetStd(); };
  return (p.min ? number(*p.min) : "") + ".." + (p.max ? number(*p.max) : "");
}

std::string Choices(const DescParameter& p) {
  std::string text;
  for (const DescPopupEntry& e : p.popup) {
    text += (text.empty() ? "" : ", ") + std::to_string(e.value) + " " + e.label.GetStd();
  }
  return text;
}

std::string DefaultText(const DescParameter& p) {
  if (p.type == DescParamType::BUTTON) {
    return "(button)";
  }
  if (p.defaultValue.IsNil()) {
    return "";
  }
  return FormatParameterValue(p, p.defaultValue);
}

nlohmann::ordered_json ToJson(const DescriptionResource& resource) {
  nlohmann::ordered_json params = nlohmann::ordered_json::array();
  for (const DescParameter& p : resource.parameters) {
    nlohmann::ordered_json entry{{"id", p.id},
                                 {"name", p.name.GetStd()},
                                 {"type", DescParamTypeName(p.type)},
                                 {"label", p.label.GetStd()},
                                 {"group", p.group.GetStd()},
                                 {"default", DefaultText(p)}};
    if (p.min) entry["min"] = *p.min;
    if (p.max) entry["max"] = *p.max;
    if (!p.popup.empty()) {
      nlohmann::ordered_json choices = nlohmann::ordered_json::array();
      for (const DescPopupEntry& e : p.popup) {
        choices.push_back({{"value", e.value}, {"label", e.label.GetStd()}});
      }
      entry["choices"] = choices;
    }
    params.push_back(entry);
  }
  return {{"type", resource.typeName.GetStd()}, {"id", resource.typeId}, {"parameters", params}};
}

void PrintText(const DescriptionResource& resource, const ObjectPlugin* plugin) {
  std::cout << resource.typeName.GetStd();
  if (plugin != nullptr && plugin->name.IsPopulated()) {
    std::cout << " (" << plugin->name.GetStd() << ")";
  }
  std::cout << ", type " << resource.typeId << ", " << resource.parameters.size() << " parameters\n";
  std::size_t nameWidth = 0, defaultWidth = 0;
  for (const DescParameter& p : resource.parameters) {
    nameWidth = std::max(nameWidth, p.name.View().size());
    defaultWidth = std::max(defaultWidth, DefaultText(p).size());
  }
  for (const DescParameter& p : resource.parameters) {
    const std::string type = DescParamTypeName(p.type);
    const std::string def = DefaultText(p);
    std::cout << "  " << p.name.GetStd() << std::string(nameWidth - p.name.View().size() + 2, ' ') << type
              << std::string(type.size() < 9 ? 9 - type.size() : 1, ' ') << def
              << std::string(defaultWidth - def.size() + 2, ' ') << p.label.GetStd();
    if (const std::string limits = Limits(p); !limits.empty()) {
      std::cout << "  [" << limits << "]";
    }
    if (const std::string choices = Choices(p); !choices.empty()) {
      std::cout << "  {" << choices << "}";
    }
    std::cout << '\n';
  }
}

}  // namespace

CLI::App* AddParamsCommand(CLI::App& app, ParamsOptions& options) {
  CLI::App* params = app.add_subcommand("params", "List every parameter with its type, default, limits and choices");
  params->add_option("TYPE", options.type, "Only this object: plot, mesh, grid, cage, labels or a type name");
  params->add_flag("--json", options.json, "Print the parameters as JSON");
  params->add_option("--plugins", options.pluginFolder, "Folder of the plug-in modules (default: plugins/ beside vantelle)")
      ->type_name("DIR");
  return params;
}

int RunParams(const ParamsOptions& options) {
  Session session;
  session.LoadModules(options.pluginFolder.empty() ? DefaultPluginFolder() : Filename(String(options.pluginFolder)));

  std::vector<const ObjectPlugin*> plugins;
  for (const ObjectPlugin* plugin : GetObjectPlugins()) {
    if (FindDescriptionResource(plugin->id) != nullptr) {
      plugins.push_back(plugin);
    }
  }
  if (!options.type.empty()) {
    const std::optional<ObjectKind> kind = FindObjectKind(options.type);
    const auto matches = [&](const ObjectPlugin* plugin) {
      const DescriptionResource* resource = FindDescriptionResource(plugin->id);
      return (kind && kind->type == plugin->id) || resource->typeName.GetStd() == options.type;
    };
    std::erase_if(plugins, [&](const ObjectPlugin* p) { return !matches(p); });
    if (plugins.empty()) {
      std::string known;
      for (const ObjectPlugin* plugin : GetObjectPlugins()) {
        if (const DescriptionResource* resource = FindDescriptionResource(plugin->id)) {
          known += (known.empty() ? "" : ", ") + resource->typeName.GetStd();
        }
      }
      throw BadInput("unknown object type " + options.type + " (known: " + known + ")");
    }
  }

  if (options.json) {
    nlohmann::ordered_json all = nlohmann::ordered_json::array();
    for (const ObjectPlugin* plugin : plugins) {
      all.push_back(ToJson(*FindDescriptionResource(plugin->id)));
    }
    std::cout << all.dump(2) << '\n';
    return kExitOk;
  }
  for (std::size_t i = 0; i < plugins.size(); ++i) {
    if (i > 0) {
      std::cout << '\n';
    }
    PrintText(*FindDescriptionResource(plugins[i]->id), plugins[i]);
  }
  return kExitOk;
}

}  // namespace vantelle::app
