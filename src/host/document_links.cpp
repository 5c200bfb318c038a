#include <algorithm>

#include "host/document.h"
#include "host/image_info.h"

namespace korvex {

ILink* IDocument::createLink(UID object, const std::string& path, UID linkUID, UID resourceUID) {
  if (!database_->instantiate<PageItem>(object)) return nullptr;
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
  if (auto* content = database_->instantiate<PlacedContent>(object); content && content->linkUID() == kInvalidUID)
    content->setLinkUID(link->GetUID());
  links_.push_back(link->GetUID());
  touch();
  return link;
}

ErrorCode IDocument::createLinkResource(const std::string& path, UID* resource) {
  if (path.empty()) return kInvalidParameterError;
  auto* made = database_->create<LinkResource>(path);
  if (!made) return kFailure;
  if (auto stamp = stampOfFile(path)) made->restore(path, *stamp, false, {});
  if (resource) *resource = made->GetUID();
  return kSuccess;
}

ErrorCode IDocument::createLink(UID object, UID resource, UID* link) {
  if (!database_->instantiate<PageItem>(object) || !database_->instantiate<LinkResource>(resource))
    return kObjectNotFoundError;
  // A resource belongs to one link.
  for (UID l : links_)
    if (database_->instantiate<ILink>(l)->GetResource() == resource) return kInvalidParameterError;
  auto* made = database_->create<ILink>(object, resource);
  if (!made) return kFailure;
  if (auto* content = database_->instantiate<PlacedContent>(object); content && content->linkUID() == kInvalidUID)
    content->setLinkUID(made->GetUID());
  links_.push_back(made->GetUID());
  touch();
  if (link) *link = made->GetUID();
  return kSuccess;
}

ErrorCode IDocument::relinkLink(UID linkUID, const std::string& path) {
  auto* link = database_->instantiate<ILink>(linkUID);
  LinkResource* resource = link ? link->resource() : nullptr;
  if (!resource) return kObjectNotFoundError;
  auto* content = database_->instantiate<PlacedContent>(link->GetObject());
  if (!content || content->linkUID() != linkUID) return resource->relink(path);
  // What the new file is, read before anything changes.
  const ClassID kind = classForPlacedFile(placedFileKind(path));
  const std::optional<ImageAttributes> attributes =
      kind == ClassID::kImageItem ? readImageAttributes(path) : std::nullopt;
  std::optional<std::string> profile;
  if (content->embeddedProfile() && kind == ClassID::kImageItem)
    if (Result<std::string> name = embeddedProfileName(path)) profile = *name;
  if (const ErrorCode error = resource->relink(path); error != kSuccess) return error;
  content->setKind(kind);
  content->setImageAttributes(attributes);
  content->setEmbeddedProfile(profile);
  touch();
  return kSuccess;
}

ErrorCode IDocument::useEmbeddedProfile(UID item, std::string* message) {
  auto* content = database_->instantiate<PlacedContent>(item);
  if (!content) {
    if (message) *message = "not placed content";
    return kInvalidParameterError;
  }
  const auto* link = database_->instantiate<ILink>(content->linkUID());
  if (content->GetClass() != ClassID::kImageItem || !link || !link->resource()) {
    if (message) *message = "not a placed image";
    return kInvalidParameterError;
  }
  Result<std::string> name = embeddedProfileName(link->resource()->path());
  if (!name) {
    if (message) *message = name.message();
    return kFileReadError;
  }
  if (content->embeddedProfile() == *name) return kSuccess;
  content->setEmbeddedProfile(*name);
  touch();
  return kSuccess;
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
