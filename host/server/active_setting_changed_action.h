// ActiveSettingChangedAction: the server's notice that the user is changing an active setting
// (one whose effect must show at once), with the dialog's values including the new one.
//
// Threading: immutable after construction; may be read from any thread.
#pragma once

#include <map>
#include <string>

#include "qo/sdk/analytics/i_active_setting_changed_action.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace lumo::host {

class ActiveSettingChangedAction
    : public qo::sdk::RefCountable<qo::sdk::analytics::IActiveSettingChangedAction> {
public:
    ActiveSettingChangedAction(std::string activeSettingName, std::string settingsModel,
                               std::map<std::string, std::string> settingsValues,
                               std::map<std::string, std::string> params = {})
        : m_activeSettingName(std::move(activeSettingName)),
          m_settingsModel(std::move(settingsModel)),
          m_settingsValues(qo::sdk::makePtr<qo::sdk::StringMap>(std::move(settingsValues))),
          m_params(qo::sdk::makePtr<qo::sdk::StringMap>(std::move(params))) {}

    const char* activeSettingName() const override { return m_activeSettingName.c_str(); }
    const char* settingsModel() const override { return m_settingsModel.c_str(); }

    const qo::sdk::IStringMap* settingsValues() const override {
        return qo::sdk::shareToPtr(m_settingsValues.get()).releasePtr();
    }

    const qo::sdk::IStringMap* params() const override {
        return qo::sdk::shareToPtr(m_params.get()).releasePtr();
    }

private:
    const std::string m_activeSettingName;
    const std::string m_settingsModel;
    const qo::sdk::Ptr<qo::sdk::StringMap> m_settingsValues;
    const qo::sdk::Ptr<qo::sdk::StringMap> m_params;
};

}  // namespace lumo::host
