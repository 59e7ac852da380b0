// Objects of a metadata frame: shape, class, vehicle, face and body of each "tt:Object".
#include <cstring>

#include "lumo/metadata_sections.h"

namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree {

namespace {

void readShape(_Object& object, const Node* shape) {
    if (const Node* box = child(shape, "tt:BoundingBox")) {
        readFloat(box, "left", object.left);
        readFloat(box, "top", object.top);
        readFloat(box, "right", object.right);
        readFloat(box, "bottom", object.bottom);
    }
    if (const Node* center = child(shape, "tt:CenterOfGravity")) {
        readFloat(center, "x", object.centerX);
        readFloat(center, "y", object.centerY);
    }
}

void readVehicle(_Object& object, const Node* vehicle) {
    if (const Node* type = child(vehicle, "tt:Type")) {
        readFloat(type, "Likelihood", object.vehicleLikelihood);
        copyValue(type, object.vehicleType);
    }
    if (const Node* color =
            child(child(child(vehicle, "tt:Color"), "tt:ColorCluster"), "tt:Color")) {
        object.hasVehicleColor = 1;
        readColor(color, object.vehicleColor);
    }
}

// A worn accessory: its "fc:Wear" says anything but exactly "false".
template <std::size_t N>
void readWear(const Node* accessory, const char (&name)[N], bool& flag) {
    if (const Node* wear = child(child(accessory, name), "fc:Wear"))
        flag = !(wear->value_size() == 5 && std::memcmp(wear->value(), "false", 5) == 0);
}

void readFace(_Object& object, const Node* face) {
    object.hasFace = 1;
    if (const Node* gender = child(face, "fc:Gender"))
        copyValue(gender, object.gender);
    if (const Node* accessory = child(face, "fc:Accessory")) {
        readWear(accessory, "fc:Opticals", object.eyewear);
        readWear(accessory, "fc:Mask", object.mask);
        readWear(accessory, "fc:Hat", object.hat);
        readWear(accessory, "fc:Helmet", object.helmet);
    }
}

void readBody(_Object& object, const Node* body) {
    const Node* clothing = child(body, "bd:Clothing");
    if (const Node* tops = child(child(clothing, "bd:Tops"), "tt:Color")) {
        // Clusters without an inner colour take no entry.
        int index = 0;
        for (const Node* cluster = child(tops, "tt:ColorCluster"); cluster && index < 2;
             cluster = nextNamed(cluster, "tt:ColorCluster")) {
            if (const Node* color = child(cluster, "tt:Color")) {
                object.hasTopColor = 1;
                readColor(color, object.topColors[index]);
                ++index;
            }
        }
    }
    if (const Node* color =
            child(child(child(child(clothing, "bd:Bottoms"), "tt:Color"), "tt:ColorCluster"),
                  "tt:Color")) {
        object.hasBottomColor = 1;
        readColor(color, object.bottomColor);
    }
    if (const Node* category = child(child(child(body, "bd:Belonging"), "bd:Bag"), "bd:Category")) {
        object.hasBag = 1;
        copyValue(category, object.bagCategory);
    }
}

void readObject(_Object& object, const Node* node) {
    readInt(node, "ObjectId", object.objectId);
    readInt(node, "Parent", object.parentId);
    const Node* appearance = child(node, "tt:Appearance");
    if (!appearance)
        return;
    for (const Node* part = appearance->first_node(); part; part = part->next_sibling()) {
        if (named(part, "tt:Shape")) {
            readShape(object, part);
        } else if (named(part, "tt:Class")) {
            if (const Node* type = child(part, "tt:Type")) {
                readFloat(type, "Likelihood", object.classLikelihood);
                copyValue(type, object.classType);
            }
        } else if (named(part, "tt:VehicleInfo")) {
            readVehicle(object, part);
        } else if (named(part, "tt:ImageRef")) {
            replaceText(object.imageRef, part->value(), part->value_size());
        } else if (named(part, "tod:CaptureTime")) {
            copyValue(part, object.captureTime);
        } else if (named(part, "tt:HumanFace")) {
            readFace(object, part);
        } else if (named(part, "tt:HumanBody")) {
            readBody(object, part);
        }
    }
}

}  // namespace

void readFrame(_Payload& payload, const Node* frame) {
    readText(frame, "UtcTime", payload.utcTime);
    RecordList<_Object> objects(countNamed(frame, "tt:Object"));
    for (const Node* part = frame->first_node(); part; part = part->next_sibling()) {
        if (named(part, "tt:Object")) {
            readObject(objects.append(), part);
        } else if (named(part, "tt:Transformation")) {
            if (const Node* translate = child(part, "tt:Translate")) {
                readFloat(translate, "x", payload.translateX);
                readFloat(translate, "y", payload.translateY);
            }
            if (const Node* scale = child(part, "tt:Scale")) {
                readFloat(scale, "x", payload.scaleX);
                readFloat(scale, "y", payload.scaleY);
            }
        }
    }
    objects.moveTo(payload.objects, payload.objectCount);
}

}  // namespace qo::vms_server_plugins::analytics::lumo::Metadata::tree
