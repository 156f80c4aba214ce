// The lines of the script language. The usage texts are the grammar: the parser reads them, and
// the README and --help show them as they are.
#include "sim/tool/script_parser.h"

namespace sim::tool {

const std::vector<Form>& Forms() {
  static const std::vector<Form> forms = {
      // World lines: no hook runs.
      {"player NAME id=N [steam=N] [tribe=N] [admin] [dead]", false},
      {"dino NAME kind=KIND|fullname=\"...\" [team=N] [dead] [at=X,Y,Z]", false},
      {"structure NAME [at=X,Y,Z]", false},
      {"cryopod NAME [holds=KIND[,KIND...]]", false},
      {"soultrap NAME holds=KIND", false},
      {"item NAME kind=ITEMPATH [type=N] [consumable=N]", false},
      {"actor NAME", false},
      {"null_actor", false},
      {"config FILE", false},
      {"config_delete", false},
      {"aim PLAYER DINO|STRUCTURE|none", false},
      {"kill_player PLAYER", false},
      {"revive PLAYER", false},
      {"server_state N", false},
      // Actions: each runs game functions through the hook table.
      {"load", true},
      {"unload", true},
      {"start", true},
      {"tame PLAYER DINO", true},
      {"claim PLAYER DINO", true},
      {"unclaim PLAYER DINO", true},
      {"multiuse PLAYER DINO INDEX", true},
      {"die DINO", true},
      {"destroy DINO", true},
      {"equip PLAYER ITEM", true},
      {"use PLAYER ITEM", true},
      {"slot ITEM", true},
      {"request_download PLAYER KIND", true},
      {"download PLAYER KIND", true},
      {"init_downloaded DINO TEAM", true},
      {"clone PLAYER STRUCTURE [INDEX]", true},
      {"netexec PLAYER COMMAND [DINO]", true},
      {"spawn PLAYER PATH", true},
      {"invite INVITER PLAYER", true},
      {"merge INVITER PLAYER", true},
      {"create_tribe PLAYER TRIBEID", true},
      {"chat PLAYER TEXT", true},
      {"console PLAYER TEXT", true},
      {"rcon TEXT", true},
      {"truth [TEAM]", true},
  };
  return forms;
}

}  // namespace sim::tool
