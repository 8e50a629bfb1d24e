#include "tavo/TavoWire.h"

#include "tavo/TAVOProtocol.h"

namespace ardel::wire {

void ResetAddresses(TTAVOProtocol &codec)
{
    codec.Cimzett = kBroadcastRecipient;
    codec.Felado = kOwnAddress;
    codec.Felado_rovid_cim = kOwnShortAddress;
}

void SetProgramStartValues(TTAVOProtocol &codec)
{
    ResetAddresses(codec);
    codec.CsomagSorszam = kFirstSequence;
    codec.Info = TInfo::nem_kerek_nyugtat;
    codec.Enable_ASYER = false;
    codec.Disable_bitmatrix = false;
    codec.Header_extension.clear();
    codec.TAVOMode = TTAVOMode::PMDecodeBothEncodeTAVOW;
}

} // namespace ardel::wire
