#include <algorithm>

#include "host/document.h"

namespace korvex {

ILink* IDocument::createLink(UID object, const std::string& path, UID linkUID, UID resourceUID) {
  if (!database_->instantiate<PlacedContent>(object)) return nullptr;
  auto* resource = resourceUID == kInvalidUID ? database_->create<LinkResource>(path)
                                              : database_->createWithUID<LinkResource>(resourceUID, path);
  if (!resource) return nullptr;
  if (auto stamp = stampOfFile(path)) resource->restore(path, *stamp, false, {});
  auto* link = linkUID == kInvalidUID ? database_->create<ILink>(object, resource->GetUID())
                                      : database_->createWithUID<ILink>(linkUID, object, resource->GetUID());
  if (!link) {
    database_->destroy(resource->GetUID());
    return nullptr;
  }
  database_->instantiate<PlacedContent>(object)->setLinkUID(link->GetUID());
  links_.push_back(link->GetUID());
  touch();
  return link;
}

std::vector<UID> IDocument::linksForObject(UID object) const {
  std::vector<UID> result;
  for (UID l : links_)
    if (auto* link = database_->instantiate<ILink>(l); link && link->GetObject() == object)
      result.push_back(l);
  return result;
}

ErrorCode IDocument::deleteLink(UID linkUID) {
  auto* link = database_->instantiate<ILink>(linkUID);
  if (!link) return kObjectNotFoundError;
  if (auto* c = database_->instantiate<PlacedContent>(link->GetObject()); c && c->linkUID() == linkUID)
    c->setLinkUID(kInvalidUID);
  database_->destroy(link->GetResource());
  database_->destroy(linkUID);
  links_.erase(std::remove(links_.begin(), links_.end(), linkUID), links_.end());
  touch();
  return kSuccess;
}

}  // namespace korvex
