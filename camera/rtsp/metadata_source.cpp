#include "rtsp/metadata_source.h"

#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

namespace {

struct LumoMetadataSrc {
    GstAppSrc parent;
};

struct LumoMetadataSrcClass {
    GstAppSrcClass parent;
};

enum { kPropertyPt = 1 };

G_DEFINE_TYPE(LumoMetadataSrc, lumo_metadata_src, GST_TYPE_APP_SRC)

void lumoMetadataSrcGet(GObject* object, guint id, GValue* value, GParamSpec* property) {
    if (id == kPropertyPt)
        g_value_set_uint(value, lumo_camera::kMetadataPayloadType);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, property);
}

void lumo_metadata_src_class_init(LumoMetadataSrcClass* klass) {
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->get_property = &lumoMetadataSrcGet;
    g_object_class_install_property(
        object, kPropertyPt,
        g_param_spec_uint("pt", "Payload type", "The payload type of the packets sent", 0, 127,
                          lumo_camera::kMetadataPayloadType,
                          GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS)));
}

void lumo_metadata_src_init(LumoMetadataSrc*) {}

}  // namespace

namespace lumo_camera {

bool registerMetadataSource() {
    static const bool registered = gst_element_register(nullptr, "lumometadatasrc", GST_RANK_NONE,
                                                        lumo_metadata_src_get_type());
    return registered;
}

}  // namespace lumo_camera
