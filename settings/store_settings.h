#pragma once
// The settings of a new store, as the store tool creates them: both store
// files with their backups and the workstation file, written through the
// settings routines themselves so that they read back as any other settings.
#include <string>

#include "platform/files.h"
#include "settings/system_spec.h"

namespace settings {

struct StoreIdentity {
    std::string name, street, city, state, zip, phone;

    // The demonstration store.
    static StoreIdentity demo();
};

// The store's defaults with its name and address.
SystemSpec defaultSystemSpec(const StoreIdentity& store);
LocalSpec defaultLocalSpec();

// Writes M:\WSPEC.DAT and M:\WExtraData.Dat, their backups M:\WSpec.old and
// M:\Wextradata.old, and G:LocalSPEC.DAT unless the workstation already has
// one. A store whose settings or backups already exist is not overwritten:
// failure 58 (File already exists) naming the file, before anything is written.
void writeStoreSettings(platform::FileChannels& files, const StoreIdentity& store);

}  // namespace settings
