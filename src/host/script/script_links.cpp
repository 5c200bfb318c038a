// The script class of links: name, file path, status, relink and update.

#include <string>

#include "host/link.h"
#include "host/script/script_context.h"

namespace korvex::script {
namespace {

LinkResource* thisResource(duk_context* ctx) {
  LinkResource* resource = thisObject<ILink>(ctx)->resource();
  if (!resource) throwInvalid(ctx);
  return resource;
}

duk_ret_t linkName(duk_context* ctx) {
  const std::string& path = thisResource(ctx)->path();
  duk_push_string(ctx, path.substr(path.rfind('/') + 1).c_str());
  return 1;
}

duk_ret_t linkFilePath(duk_context* ctx) {
  duk_push_string(ctx, thisResource(ctx)->path().c_str());
  return 1;
}

duk_ret_t linkStatus(duk_context* ctx) {
  const ILink* link = thisObject<ILink>(ctx);
  const LinkResource* resource = link->resource();
  const char* status = "NORMAL";
  if (resource && resource->isEmbedded())
    status = "LINK_EMBEDDED";
  else if (link->GetResourceModificationState() == ILink::kResourceMissing)
    status = "LINK_MISSING";
  else if (link->GetResourceModificationState() == ILink::kResourceModified)
    status = "LINK_OUT_OF_DATE";
  duk_push_string(ctx, status);
  return 1;
}

duk_ret_t linkRelink(duk_context* ctx) {
  LinkResource* resource = thisResource(ctx);
  const std::string path = resolveScriptPath(runOf(ctx), pathArg(ctx, 0));
  if (resource->relink(path) != kSuccess) throwError(ctx, "relink: " + path + ": no such file");
  duk_push_this(ctx);
  return 1;
}

duk_ret_t linkUpdate(duk_context* ctx) {
  LinkResource* resource = thisResource(ctx);
  if (resource->update() != kSuccess) throwError(ctx, "update: " + resource->path() + ": no such file");
  duk_push_this(ctx);
  return 1;
}

}  // namespace

void installLinkPrototype(duk_context* ctx, const std::vector<Property>& common) {
  std::vector<Property> properties{
      {"name", linkName, nullptr}, {"filePath", linkFilePath, nullptr}, {"status", linkStatus, nullptr}};
  properties.insert(properties.end(), common.begin(), common.end());
  pushPrototype(ctx, properties, {{"relink", linkRelink, 1}, {"update", linkUpdate, 0}});
  storePrototype(ctx, "Link");
}

}  // namespace korvex::script
