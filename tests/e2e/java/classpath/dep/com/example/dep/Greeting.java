package com.example.dep;

/** A dependency in a JAR of its own. */
public class Greeting {
    public static String text() {
        return "greeting from the dependency";
    }
}
