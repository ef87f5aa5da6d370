// The phone readers' view of a text: the result parsers of the Java ZXing
// core, which ZXing-based phone readers run on what they scan. Reads one
// text a line, as the hexadecimal of its UTF-8 bytes, and writes one line a
// text: the kind of result the parsers make of it, then name=value pairs
// of its fields, separated by tabs, each value the hexadecimal of its UTF-8
// bytes ("-" when the parser has none) and several values joined by a line
// feed. A test oracle only.
import com.google.zxing.BarcodeFormat;
import com.google.zxing.Result;
import com.google.zxing.client.result.AddressBookParsedResult;
import com.google.zxing.client.result.CalendarParsedResult;
import com.google.zxing.client.result.EmailAddressParsedResult;
import com.google.zxing.client.result.GeoParsedResult;
import com.google.zxing.client.result.ParsedResult;
import com.google.zxing.client.result.ResultParser;
import com.google.zxing.client.result.SMSParsedResult;
import com.google.zxing.client.result.TelParsedResult;
import com.google.zxing.client.result.WifiParsedResult;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.util.LinkedHashMap;
import java.util.Map;

public final class ParsePayloads {
  private static String hex(String s) {
    if (s == null)
      return "-";
    StringBuilder out = new StringBuilder();
    for (byte b : s.getBytes(StandardCharsets.UTF_8))
      out.append(String.format("%02x", b & 0xff));
    return out.toString();
  }

  private static String unhex(String s) {
    byte[] bytes = new byte[s.length() / 2];
    for (int i = 0; i < bytes.length; ++i)
      bytes[i] = (byte) Integer.parseInt(s.substring(2 * i, 2 * i + 2), 16);
    return new String(bytes, StandardCharsets.UTF_8);
  }

  private static String joined(String[] values) {
    return values == null ? null : String.join("\n", values);
  }

  private static Map<String, String> fields(ParsedResult r) {
    Map<String, String> f = new LinkedHashMap<>();
    switch (r.getType()) {
    case WIFI: {
      WifiParsedResult w = (WifiParsedResult) r;
      f.put("ssid", w.getSsid());
      f.put("password", w.getPassword());
      f.put("security", w.getNetworkEncryption());
      f.put("hidden", String.valueOf(w.isHidden()));
      break;
    }
    case ADDRESSBOOK: {
      AddressBookParsedResult a = (AddressBookParsedResult) r;
      f.put("name", joined(a.getNames()));
      f.put("phone", joined(a.getPhoneNumbers()));
      f.put("email", joined(a.getEmails()));
      f.put("org", a.getOrg());
      f.put("address", joined(a.getAddresses()));
      f.put("url", joined(a.getURLs()));
      f.put("note", a.getNote());
      break;
    }
    case TEL:
      f.put("number", ((TelParsedResult) r).getNumber());
      break;
    case SMS: {
      SMSParsedResult s = (SMSParsedResult) r;
      f.put("number", joined(s.getNumbers()));
      f.put("body", s.getBody());
      break;
    }
    case EMAIL_ADDRESS: {
      EmailAddressParsedResult e = (EmailAddressParsedResult) r;
      f.put("to", joined(e.getTos()));
      f.put("subject", e.getSubject());
      f.put("body", e.getBody());
      break;
    }
    case GEO: {
      GeoParsedResult g = (GeoParsedResult) r;
      f.put("latitude", String.valueOf(g.getLatitude()));
      f.put("longitude", String.valueOf(g.getLongitude()));
      break;
    }
    case CALENDAR: {
      CalendarParsedResult c = (CalendarParsedResult) r;
      f.put("summary", c.getSummary());
      f.put("start", String.valueOf(c.getStartTimestamp()));
      f.put("end", String.valueOf(c.getEndTimestamp()));
      f.put("location", c.getLocation());
      f.put("description", c.getDescription());
      break;
    }
    default:
      f.put("text", r.getDisplayResult());
      break;
    }
    return f;
  }

  public static void main(String[] args) throws IOException {
    BufferedReader in = new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
    PrintStream out = new PrintStream(System.out, true, "UTF-8");
    for (String line; (line = in.readLine()) != null;) {
      ParsedResult r = ResultParser.parseResult(
          new Result(unhex(line.trim()), null, null, BarcodeFormat.QR_CODE));
      StringBuilder answer = new StringBuilder(r.getType().toString());
      for (Map.Entry<String, String> e : fields(r).entrySet())
        answer.append('\t').append(e.getKey()).append('=').append(hex(e.getValue()));
      out.println(answer);
    }
  }
}
