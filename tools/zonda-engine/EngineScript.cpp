#include "tools/zonda-engine/EngineScript.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string_view>

namespace zonda::host {
namespace {

// Longest run a script may describe; also keeps every frame count in 32 bits.
constexpr double kMaxScriptSeconds = 12.0 * 3600.0;

struct Token {
  std::string text;
  size_t begin = 0;  // offset in the line
};

std::vector<Token> Tokenize(const std::string& line) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    const size_t b = i;
    while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    out.push_back({line.substr(b, i - b), b});
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::optional<double> ParseNumber(const std::string& s) {
  if (s.empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(s.c_str(), &end);
  if (errno != 0 || end != s.c_str() + s.size() || !std::isfinite(v)) return std::nullopt;
  // strtod also takes hex and "inf"/"nan" spellings; scripts use plain decimals.
  for (char c : s) {
    if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '+')) return std::nullopt;
  }
  return v;
}

// Parses one line's command; throws nothing, reports through `error`.
class LineParser {
 public:
  LineParser(const std::string& line, const std::vector<Token>& tokens, const std::string& baseDir)
      : line_(line), tokens_(tokens), baseDir_(baseDir) {}

  // Fills cmd from tokens_[2...]; false with message() on a fault.
  bool Parse(TScriptCommand& cmd) {
    const std::string name = Lower(tokens_[2].text);
    name_ = name;
    next_ = 3;
    auto deckCommand = [&](TCommandKind kind) {
      cmd.kind = kind;
      return Deck(cmd.deck);
    };
    auto deckOnOff = [&](TCommandKind kind) { return deckCommand(kind) && OnOff(cmd.on) && Done(); };

    if (name == "load") {
      return deckCommand(TCommandKind::Load) && File(cmd.file);
    } else if (name == "play") {
      return deckCommand(TCommandKind::Play) && Done();
    } else if (name == "pause") {
      return deckCommand(TCommandKind::Pause) && Done();
    } else if (name == "stop") {
      return deckCommand(TCommandKind::Stop) && Done();
    } else if (name == "seek") {
      return deckCommand(TCommandKind::Seek) && Number(cmd.value, 0, kMaxScriptSeconds, "a time in seconds", false) &&
             Done();
    } else if (name == "pitch") {
      return deckCommand(TCommandKind::Pitch) && Number(cmd.value, -100, 100, "a pitch in percent", false) && Done();
    } else if (name == "direction") {
      if (!deckCommand(TCommandKind::Direction)) return false;
      const std::string w = Lower(Next());
      if (w == "forward" || w == "reverse") {
        cmd.on = w == "reverse";
        return Done();
      }
      return Fail("expected forward or reverse" + Got(w));
    } else if (name == "reverse") {
      return deckOnOff(TCommandKind::Direction);
    } else if (name == "brake") {
      return deckOnOff(TCommandKind::Brake);
    } else if (name == "keylock") {
      cmd.kind = TCommandKind::KeyLock;
      cmd.deck = kBothDecks;
      const std::string w = Lower(Peek());
      if (w == "a" || w == "b") Deck(cmd.deck);
      return OnOff(cmd.on) && Done();
    } else if (name == "songloop") {
      return deckOnOff(TCommandKind::SongLoop);
    } else if (name == "volume") {
      return deckCommand(TCommandKind::Volume) && Number(cmd.value, 0, 127, "a fader position", true) && Done();
    } else if (name == "gain") {
      return deckCommand(TCommandKind::Gain) && Number(cmd.value, -12, 12, "a gain in dB", false) && Done();
    } else if (name == "eq") {
      return deckCommand(TCommandKind::Eq) && Band(cmd.band) && Number(cmd.value, -12, 12, "a knob value", true) &&
             Done();
    } else if (name == "kill") {
      return deckCommand(TCommandKind::Kill) && Band(cmd.band) && OnOff(cmd.on) && Done();
    } else if (name == "filter") {
      return deckCommand(TCommandKind::Filter) && Number(cmd.value, -64, 63, "a knob value", true) && Done();
    } else if (name == "filtermode") {
      cmd.kind = TCommandKind::FilterMode;
      return Number(cmd.value, -1, 1, "a filter mode", true) && Done();
    } else if (name == "crossfader") {
      const std::string w = Lower(Peek());
      if (w == "curve") {
        ++next_;
        cmd.kind = TCommandKind::CrossfaderCurve;
        return Number(cmd.value, 40, 120, "a curve", true) && Done();
      }
      if (w == "cut") {
        ++next_;
        cmd.kind = TCommandKind::CrossfaderCut;
        return OnOff(cmd.on) && Done();
      }
      cmd.kind = TCommandKind::Crossfader;
      return Number(cmd.value, 0, 127, "a crossfader position", true) && Done();
    } else if (name == "boost") {
      return deckOnOff(TCommandKind::Boost);
    } else if (name == "mute") {
      return deckOnOff(TCommandKind::Mute);
    } else if (name == "cuemix") {
      cmd.kind = TCommandKind::CueMix;
      return Number(cmd.value, -100, 100, "a mix value", true) && Done();
    } else if (name == "phones") {
      cmd.kind = TCommandKind::Phones;
      const std::string w = Lower(Next());
      if (w == "normal") {
        cmd.phones = TPhonesMode::Normal;
      } else if (w == "split") {
        cmd.phones = TPhonesMode::Split;
      } else if (w == "master") {
        cmd.phones = TPhonesMode::Master;
      } else {
        return Fail("expected normal, split or master" + Got(w));
      }
      return Done();
    } else if (name == "talkover") {
      cmd.kind = TCommandKind::TalkOver;
      return OnOff(cmd.on) && Done();
    } else if (name == "onair") {
      cmd.kind = TCommandKind::OnAir;
      return OnOff(cmd.on) && Done();
    } else if (name == "linein") {
      return deckOnOff(TCommandKind::LineIn);
    } else if (name == "record") {
      const std::string w = Lower(Next());
      if (w == "start") {
        cmd.kind = TCommandKind::RecordStart;
        return File(cmd.file);
      }
      if (w == "stop") {
        cmd.kind = TCommandKind::RecordStop;
        return Done();
      }
      return Fail("expected start FILE or stop" + Got(w));
    } else if (name == "preview") {
      const std::string w = Lower(Next());
      if (w == "open") {
        cmd.kind = TCommandKind::Preview;
        return File(cmd.file);
      }
      if (w == "seek") {
        cmd.kind = TCommandKind::PreviewSeek;
        return Number(cmd.value, 0, kMaxScriptSeconds, "a whole second", true) && Done();
      }
      if (w == "off") {
        cmd.kind = TCommandKind::PreviewOff;
        return Done();
      }
      return Fail("expected open FILE, seek SECONDS or off" + Got(w));
    } else if (name == "meters") {
      cmd.kind = TCommandKind::Meters;
      return Done();
    } else if (name == "report") {
      cmd.kind = TCommandKind::Report;
      return Done();
    } else if (name == "sync") {
      return deckCommand(TCommandKind::Sync) && Done();
    } else if (name == "slowbpm") {
      return deckOnOff(TCommandKind::SlowBPM);
    } else if (name == "bpm") {
      if (!deckCommand(TCommandKind::BPM) || !Number(cmd.value, 75, 150, "a BPM", true)) return false;
      const std::string w = Lower(Peek());
      if (w == "lock") {
        ++next_;
        cmd.on = true;
      }
      return Done();
    } else if (name == "fx") {
      if (!deckCommand(TCommandKind::Fx)) return false;
      double slot = 0;
      if (!Number(slot, 1, 4, "an effect slot", true)) return false;
      cmd.slot = static_cast<int32_t>(slot);
      const std::string action = Lower(Next());
      if (action == "load") {
        cmd.fx = TFxAction::Load;
        return EffectIdent(cmd.file);
      } else if (action == "on" || action == "off") {
        cmd.fx = TFxAction::Switch;
        cmd.on = action == "on";
        return Done();
      } else if (action == "drywet") {
        cmd.fx = TFxAction::DryWet;
        return Number(cmd.value, 0, 100, "a dry/wet knob value", true) && Done();
      }
      return Fail("expected load, on, off or drywet" + Got(action));
    } else if (name == "end") {
      cmd.kind = TCommandKind::End;
      return Done();
    }
    message_ = "unknown command '" + tokens_[2].text + "'";
    return false;
  }

  const std::string& message() const { return message_; }

 private:
  std::string Peek() const { return next_ < tokens_.size() ? tokens_[next_].text : std::string(); }
  std::string Next() { return next_ < tokens_.size() ? tokens_[next_++].text : std::string(); }
  static std::string Got(const std::string& w) { return w.empty() ? std::string(", got nothing") : ", got '" + w + "'"; }

  bool Fail(const std::string& what) {
    message_ = name_ + ": " + what;
    return false;
  }
  bool Deck(int32_t& deck) {
    const std::string w = Lower(Next());
    if (w == "a") {
      deck = 0;
    } else if (w == "b") {
      deck = 1;
    } else {
      return Fail("expected deck a or b" + Got(w));
    }
    return true;
  }
  bool OnOff(bool& on) {
    const std::string w = Lower(Next());
    if (w != "on" && w != "off") return Fail("expected on or off" + Got(w));
    on = w == "on";
    return true;
  }
  bool Band(int32_t& band) {
    const std::string w = Lower(Next());
    if (w == "low") {
      band = 0;
    } else if (w == "mid") {
      band = 1;
    } else if (w == "high") {
      band = 2;
    } else {
      return Fail("expected low, mid or high" + Got(w));
    }
    return true;
  }
  bool Number(double& out, double lo, double hi, const char* what, bool whole) {
    const std::string w = Next();
    const auto v = ParseNumber(w);
    auto range = [&] {
      std::ostringstream s;
      s << "expected " << what << " from " << lo << " to " << hi << (whole ? " (a whole number)" : "") << Got(w);
      return s.str();
    };
    if (!v || *v < lo || *v > hi || (whole && *v != std::floor(*v))) return Fail(range());
    out = *v;
    return true;
  }
  // The rest of the line, as a file name.
  bool File(std::string& out) {
    if (next_ >= tokens_.size()) return Fail("expected a file name");
    std::string name = Trim(std::string_view(line_).substr(tokens_[next_].begin));
    next_ = tokens_.size();
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (name.empty()) return Fail("expected a file name");
    if (name.find('"') != std::string::npos) return Fail("a file name in quotes must be the rest of the line");
    std::filesystem::path p(name);
    if (p.is_relative() && !baseDir_.empty()) p = std::filesystem::path(baseDir_) / p;
    out = p.string();
    return true;
  }
  // "*N" (LADSPA list) and "#N" (LV2 list) as written; anything else is a file name.
  bool EffectIdent(std::string& out) {
    const std::string w = Peek();
    if (!w.empty() && (w[0] == '*' || w[0] == '#')) {
      out = Next();
      return Done();
    }
    return File(out);
  }
  bool Done() {
    if (next_ < tokens_.size()) return Fail("unexpected '" + tokens_[next_].text + "'");
    return true;
  }

  const std::string& line_;
  const std::vector<Token>& tokens_;
  const std::string& baseDir_;
  std::string name_;
  std::string message_;
  size_t next_ = 3;
};

}  // namespace

double TScript::EndSeconds() const {
  double end = 0;
  for (const TScriptCommand& c : commands) {
    end = std::max(end, c.timeSeconds);
    if (c.kind == TCommandKind::End) return c.timeSeconds;
  }
  return end;
}

TScript ParseScript(const std::string& text, const std::string& baseDir) {
  TScript script;
  std::istringstream in(text);
  std::string line;
  int32_t number = 0;
  double lastTime = 0;
  int32_t endLine = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::vector<Token> tokens = Tokenize(line);
    if (tokens.empty() || tokens[0].text[0] == '#') continue;
    auto error = [&](std::string message) { script.errors.push_back({number, std::move(message)}); };
    if (Lower(tokens[0].text) != "at") {
      error("expected 'at SECONDS COMMAND ...', got '" + tokens[0].text + "'");
      continue;
    }
    if (tokens.size() < 2) {
      error("expected a time in seconds after 'at'");
      continue;
    }
    const auto t = ParseNumber(tokens[1].text);
    if (!t || *t < 0 || *t > kMaxScriptSeconds) {
      error("expected a time in seconds from 0 to 43200 after 'at', got '" + tokens[1].text + "'");
      continue;
    }
    if (tokens.size() < 3) {
      error("expected a command after 'at " + tokens[1].text + "'");
      continue;
    }
    if (*t < lastTime) {
      std::ostringstream s;
      s << "time " << *t << " is before the previous command's " << lastTime << " (times must not go back)";
      error(s.str());
      continue;
    }
    TScriptCommand cmd;
    cmd.line = number;
    cmd.timeSeconds = *t;
    cmd.text = Trim(std::string_view(line).substr(tokens[2].begin));
    LineParser parser(line, tokens, baseDir);
    if (!parser.Parse(cmd)) {
      error(parser.message());
      continue;
    }
    if (endLine != 0) {
      error("command after 'end' (line " + std::to_string(endLine) + ") would never run");
      continue;
    }
    if (cmd.kind == TCommandKind::End) endLine = number;
    lastTime = *t;
    script.commands.push_back(std::move(cmd));
  }
  return script;
}

std::string FormatErrors(const TScript& script, const std::string& name) {
  std::string out;
  for (const TScriptError& e : script.errors) {
    out += name + ":" + std::to_string(e.line) + ": " + e.message + "\n";
  }
  return out;
}

const char* ScriptHelp() {
  return R"(Script: one command per line, "at SECONDS COMMAND ARGUMENTS". Times are
seconds from the start of the run and never go back; commands of the same
time run in the order written. Blank lines and lines starting with # are
skipped. FILE is the rest of the line (double quotes allowed); a relative name
is taken from the script's folder. A or B below is the deck, a or b.

Decks
  load A FILE           load a track (any format the decoder front opens) and
                        wait until it is ready; a file that cannot be opened
                        reports the deck's error ("WRONG FILE FORMAT !" or
                        "DAMAGED OR UNREADABLE FILE !") and the run goes on
  play A                start playing (nothing if already playing)
  pause A               stop where the deck stands (nothing if not playing)
  stop A                stop and go back to the start of the track
  seek A SECONDS        jump to that time in the track (waits for the jump)
  pitch A PERCENT       pitch/tempo -100..100 in steps of 0.01 (8.00 = +8 %)
  direction A forward|reverse
  reverse A on|off      the same as direction reverse / forward
  brake A on|off        run the platter down to standstill / release it
  keylock [A] on|off    tempo without pitch change; without a deck: both decks
  songloop A on|off     play the track endlessly

Mixer
  volume A 0..127       channel fader (127 = 0 dB, 0 = silence)
  gain A -12..12        deck gain (trim) in dB
  eq A low|mid|high -12..12
                        equaliser knob (cuts are tripled: -12 gives -36 dB)
  kill A low|mid|high on|off
                        kill switch of a band (-80 dB while on)
  filter A -64..63      cut-off knob (0 = off in mode 0)
  filtermode -1|0|1     cut-off knob mode: -1 low-pass, 0 low-pass left of
                        centre and high-pass right of it (default), 1 high-pass
  crossfader 0..127     crossfader position (0 = deck A, 127 = deck B; start 63)
  crossfader curve 40..120
                        crossfader curve (default 50), applied at once
  crossfader cut on|off cut mode: 0..63 deck A only, 64..127 deck B only
  boost A on|off        hold the deck's boost button (+4 dB)
  mute A on|off         hold the deck's mute button (-90 dB)
  talkover on|off       lower the music by 12 dB
  onair on|off          add line A (the microphone) to the master
  linein A on|off       the deck plays its line input instead of its track

Headphones (the monitor output)
  cuemix -100..100      pre-listen mix: -100 deck A only, 0 both, 100 deck B only
  phones normal|split|master
                        pre-listen mix / split (deck A left ear, deck B right
                        ear; a short press of the split switch) / the master
                        (a long press)
  preview open FILE     pre-listen a file in the headphones (from its start)
  preview seek SECONDS  jump the preview to that second
  preview off           stop mixing the preview into the headphones

Recording and run
  record start FILE     record the master output to a WAV file
  record stop           finish the recording
  meters                print the deck and master meter levels on stdout
  report                print, per deck, the silent blocks a playing deck
                        rendered because its audio was not decoded in time
                        (count, seconds, the longest unbroken run), the
                        detected BPM with its votes, the BPM of the chunk
                        under the position and the beat phase (0..1); then
                        the beat difference of deck A against deck B in
                        hundredths of a beat (positive: A is behind)

Beats
  sync A                beat-match the deck to the other one: it starts
                        playing, takes the other's tempo (when the pitch
                        range allows) and is nudged onto its beat phase
  slowbpm A on|off      analyse the track in the slow range (75..124 BPM)
  bpm A 75..150 [lock]  store the track's BPM (lock: the analysis follows it)

Effects (four slots per deck, before the deck's filter and equaliser)
  fx A 1..4 load IDENT  load an effect into the slot: a native effect's .so
                        (a name not found is looked up in the effects folder),
                        *N for LADSPA effect N, #N for LV2 effect N (the
                        numbers --list-effects prints); loading leaves it off
  fx A 1..4 on|off      switch the slot on or off (faded over 5 ms)
  fx A 1..4 drywet 0..100
                        dry/wet knob: 100 wet (default), 1 and 0 fully dry
  end                   end the run here; without it the run ends at the time
                        of the last command
)";
}

}  // namespace zonda::host
