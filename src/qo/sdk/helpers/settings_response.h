// SettingsResponse: the library's ISettingsResponse: the values the dialog is to show, per-setting
// errors and optionally a replacement settings model. Each part may be absent.
//
// Threading: filled by one thread before it is handed over, read-only afterwards.
#pragma once

#include <string>

#include "qo/sdk/helpers/string.h"
#include "qo/sdk/helpers/string_map.h"
#include "qo/sdk/i_settings_response.h"
#include "qo/sdk/ptr.h"
#include "qo/sdk/ref_countable.h"

namespace qo::sdk {

class SettingsResponse : public RefCountable<ISettingsResponse> {
public:
    SettingsResponse(Ptr<StringMap> values = nullptr, Ptr<StringMap> errors = nullptr,
                     Ptr<String> model = nullptr)
        : m_values(std::move(values)), m_errors(std::move(errors)), m_model(std::move(model)) {}

    IStringMap* getValues() const override { return shareToPtr(m_values.get()).releasePtr(); }
    IStringMap* getErrors() const override { return shareToPtr(m_errors.get()).releasePtr(); }
    IString* getModel() const override { return shareToPtr(m_model.get()).releasePtr(); }

    void setValue(const std::string& key, const std::string& value) {
        if (!m_values)
            m_values = makePtr<StringMap>();
        m_values->setItem(key, value);
    }

    void setError(const std::string& key, const std::string& message) {
        if (!m_errors)
            m_errors = makePtr<StringMap>();
        m_errors->setItem(key, message);
    }

    void setValues(Ptr<StringMap> values) { m_values = std::move(values); }
    void setErrors(Ptr<StringMap> errors) { m_errors = std::move(errors); }
    void setModel(Ptr<String> model) { m_model = std::move(model); }
    void setModel(const std::string& model) { m_model = makePtr<String>(model); }

    const Ptr<StringMap>& values() const { return m_values; }

private:
    Ptr<StringMap> m_values;
    Ptr<StringMap> m_errors;
    Ptr<String> m_model;
};

}  // namespace qo::sdk
